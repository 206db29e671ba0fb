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
    OutputBuffer& out = *output;
    const std::size_t mark = out.size();
    out.append(spell->paragraphStart);
    const int32_t status = ConvertInlineWith(cursor, end, out, {}, inlineScratch);
    if (status < 0) {
        out.resize(mark);  // nothing of a rejected paragraph is written
        return status;
    }
    out.append(spell->paragraphEnd);
    return statusOk;
}

int32_t DocumentConverter::HandleCommandLine(std::string_view line) {
    if (line.size() < 2 || line[1] == ' ' || line[1] == '(') {
        return statusFail;
    }
    const char* cursor = line.data() + 1;
    const char* const end = line.data() + line.size();
    // The wrapper is named after the command: its name is read first.
    std::string_view name;
    const char* nameEnd = cursor;
    if (ParseName(nameEnd, end, name, "div", {}) < 0) {
        return statusFail;
    }
    OutputBuffer& out = *output;
    const std::size_t mark = out.size();
    const bool wrapped = name != "div";
    if (wrapped) {
        out.append("<div class=\"").append(name).append("\">");
    }
    out.append(spell->commandLinePrefix);
    // The start tag is written while its head is read, parameter by parameter.
    if (ReadCommandLineHead(cursor, end, name, out) < 0) {
        out.resize(mark);
        return statusFail;
    }
    out.append("</").append(name).append(spell->commandLineSuffix);
    if (wrapped) {
        out.append("</div>\r\n");
    }
    return statusOk;
}

int32_t DocumentConverter::HandleIncompleteLine(std::string_view line) {
    CloseToSection();
    output->append("<pre class=\"incomplete\">");
    AppendEscapedText(line, *output);
    output->append("</pre>\r\n");
    return statusOk;
}

}  // namespace quirtle
