// Section lines: "*" (repeated for the depth), optional "(class#id)", heading text.
#include <string>

#include "DocumentConverter.h"

namespace quirtle {

int32_t DocumentConverter::HandleSectionLine(std::string_view line) {
    const char* cursor = line.data();
    const char* const end = cursor + line.size();
    OpenElement head;
    const int32_t status = ParseBlockMarker(cursor, end, head);
    if (status < 0) {
        return status;
    }
    const int32_t level = head.level;
    OutputBuffer& out = *output;

    // Close everything down to and including the open section of this level.
    int32_t depth = elementStack.SectionDepth();
    while (depth >= level) {
        const bool wasSection = elementStack.Top().kind == ElementKind::Section;
        CloseTopElement();
        if (wasSection) {
            --depth;
        }
    }

    // Skipped levels get one implicit section, however many are skipped.
    const bool classByDepth = !spell->sectionClassPrefix.empty();
    if (depth < level - 1) {
        out.append("<").append(spell->section);
        if (classByDepth) {
            out.append(" class=\"")
                .append(spell->sectionClassPrefix)
                .append(std::to_string(depth + 1))
                .append("\"");
        }
        out.append(">\r\n");
        elementStack.Push(ElementKind::Section, spell->section);
        ++depth;
    }

    const std::string number = std::to_string(depth + 1);
    if (classByDepth && head.className.empty()) {
        head.className.assign(spell->sectionClassPrefix).append(number);
    }
    AppendStartTag(head, spell->blockParams, out);
    elementStack.Push(ElementKind::Section, head.name);

    if (cursor < end) {
        const std::size_t mark = out.size();
        out.append("<").append(spell->heading);
        if (spell->numberedHeading) {
            out.append(number);
        }
        out.append(">");
        if (ConvertInlineWith(cursor, end, out, {}, inlineScratch) < 0) {
            out.resize(mark);
            return statusFail;
        }
        out.append("</").append(spell->heading);
        if (spell->numberedHeading) {
            out.append(number);
        }
        out.append(">\r\n");
    }
    return statusOk;
}

}  // namespace quirtle
