// Blank lines, paragraphs, one-line commands and incomplete blocks.
#include "DocumentConverter.h"

namespace quirtle {

int32_t DocumentConverter::HandleBlankLine(std::string_view) {
    CloseToSection();
    return statusOk;
}

int32_t DocumentConverter::HandleParagraphLine(std::string_view line) {
    CloseToSection();
    const char* cursor = line.data();
    const char* const end = cursor + line.size();
    const bool xml = mode == OutputMode::Xml;
    const std::size_t mark = outputPieces.size();
    outputPieces.append(xml ? "<paragraph>" : "<p>");
    const int32_t status = ConvertInline(cursor, end, outputPieces, {}, inlineScratch);
    if (status < 0) {
        outputPieces.resize(mark);  // nothing of a rejected paragraph is written
        return status;
    }
    outputPieces.append(xml ? "</paragraph>\r\n" : "</p>\r\n");
    return statusOk;
}

int32_t DocumentConverter::HandleCommandLine(std::string_view line) {
    if (line.size() < 2 || line[1] == ' ' || line[1] == '(') {
        return statusFail;
    }
    const char* cursor = line.data() + 1;
    const char* const end = line.data() + line.size();
    OpenElement command;
    const int32_t status = ParseElementHead(cursor, end, command, "div", {});
    if (status < 0) {
        return status;
    }
    const bool wrapped = command.name != "div";
    if (wrapped) {
        outputPieces.append("<div class=\"").append(command.name).append("\">");
    }
    if (mode == OutputMode::Xml) {
        AppendStartTag(command, true, TagForm::Markup, outputPieces);
    } else {
        outputPieces.append("<pre class=\"oneline_command\">");
        AppendStartTag(command, true, TagForm::Shown, outputPieces);
    }
    outputPieces.append("</").append(command.name);
    outputPieces.append(mode == OutputMode::Xml ? ">\r\n" : "></pre>\r\n");
    if (wrapped) {
        outputPieces.append("</div>\r\n");
    }
    return statusOk;
}

int32_t DocumentConverter::HandleIncompleteLine(std::string_view line) {
    CloseToSection();
    outputPieces.append("<pre class=\"incomplete\">");
    AppendEscapedText(line, outputPieces);
    outputPieces.append("</pre>\r\n");
    return statusOk;
}

}  // namespace quirtle
