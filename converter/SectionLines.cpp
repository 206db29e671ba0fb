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
    const bool xml = mode == OutputMode::Xml;

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
    if (depth < level - 1) {
        OpenElement implicit;
        implicit.name = SectionName();
        implicit.kind = ElementKind::Section;
        implicit.level = depth + 1;
        if (xml) {
            outputPieces.append("<section>\r\n");
        } else {
            outputPieces.append("<div class=\"section_")
                .append(std::to_string(depth + 1))
                .append("\">\r\n");
        }
        elementStack.Push(std::move(implicit));
        ++depth;
    }

    const std::string number = std::to_string(depth + 1);
    if (!xml && head.className.empty()) {
        head.className = "section_" + number;
    }
    AppendStartTag(head, xml, TagForm::Markup, outputPieces);
    head.kind = ElementKind::Section;
    elementStack.Push(std::move(head));

    if (cursor < end) {
        const std::size_t mark = outputPieces.size();
        outputPieces.append(xml ? "<heading>" : "<h" + number + ">");
        if (ConvertInline(cursor, end, outputPieces, {}, inlineScratch) < 0) {
            outputPieces.resize(mark);
            return statusFail;
        }
        outputPieces.append(xml ? "</heading>\r\n" : "</h" + number + ">\r\n");
    }
    return statusOk;
}

}  // namespace quirtle
