// List-like lines: "-" lists, "!" definition lists, ">" quotations and "|" divisions.
// The marker count is the nesting level; each line with text adds one item.
#include "DocumentConverter.h"

namespace quirtle {

namespace {

// The item element of a container, chosen by the container's name (which the marker
// gives, but for a division).
std::string_view ItemName(char marker, std::string_view containerName, const Spellings& spell) {
    switch (marker) {
        case '-':
            return spell.listItem;
        case '>':
            return spell.quotationItem;
        case '!':
            return spell.definitionDescription;
        default:
            break;
    }
    if (containerName == spell.list) {
        return spell.listItem;
    }
    if (containerName == "blockquote") {
        return spell.quotationItem;
    }
    if (containerName == spell.definitionList) {
        return spell.definitionDescription;
    }
    return spell.divisionItem;
}

}  // namespace

int32_t DocumentConverter::ConvertListTerm(const char*& cursor, const char* end) {
    OutputBuffer& out = *output;
    const std::size_t mark = out.size();
    out.append("<").append(spell->definitionTerm).append(">");
    if (ConvertInlineWith(cursor, end, out, ":", inlineScratch) < 0) {
        out.resize(mark);
        return statusFail;
    }
    out.append("</").append(spell->definitionTerm).append(">\r\n");
    // The term stays written even when no ":" follows it.
    return AdvanceChar(cursor, end, *leads);
}

int32_t DocumentConverter::HandleListLine(std::string_view line) {
    const char* cursor = line.data();
    const char* const end = cursor + line.size();
    OpenElement& head = blockHead;
    head.className.clear();
    head.id.clear();
    head.params.clear();
    head.level = 0;
    const int32_t status = ParseBlockMarker(cursor, end, head);
    if (status < 0) {
        return status;
    }
    const int32_t level = head.level;
    int32_t depth = elementStack.ContainerDepth();

    // Close deeper lists and the open item, leaving this level's container on top.
    if (depth >= level) {
        while (!(elementStack.Top().kind == ElementKind::Container && depth == level)) {
            const bool wasContainer = elementStack.Top().kind == ElementKind::Container;
            CloseTopElement();
            if (wasContainer) {
                --depth;
            }
        }
    }

    // A class or id, or another name at the same level, starts a new container.
    const bool newContainer = !head.className.empty() || !head.id.empty() ||
                              (depth == level && elementStack.Top().name != head.name);
    const bool params = spell->blockParams;
    if (newContainer) {
        if (depth == level) {
            CloseTopElement();
            --depth;
        }
        AppendStartTag(head, params, *output);
        elementStack.Push(ElementKind::Container, head.name);
        head.className.clear();
        head.id.clear();
        head.params.clear();
        ++depth;
    }
    if (depth == level - 1) {
        AppendStartTag(head, params, *output);
        elementStack.Push(ElementKind::Container, head.name);
        ++depth;
    }
    if (depth < level - 1) {
        return statusFail;  // the level skips more than one open list
    }
    if (cursor >= end) {
        return statusOk;  // containers without a new item
    }

    const char marker = line.front();
    if (marker == '!' || (marker == '|' && head.name == spell->definitionList)) {
        if (ConvertListTerm(cursor, end) < 0) {
            return statusFail;
        }
    }
    const std::string_view itemName = ItemName(marker, head.name, *spell);
    OutputBuffer& out = *output;
    const std::size_t mark = out.size();
    out.append("<").append(itemName).append(">");
    if (ConvertInlineWith(cursor, end, out, {}, inlineScratch) < 0) {
        out.resize(mark);
        return statusFail;
    }
    elementStack.Push(ElementKind::Item, itemName);
    return statusOk;
}

}  // namespace quirtle
