// The converter's driver: line splitting, per-line dispatch, closing of open
// elements and the document wrapper of the export mode.
#include "DocumentConverter.h"

#include <utility>

namespace quirtle {

int32_t DocumentConverter::SplitLines(std::string text) {
    inputLines.Assign(std::move(text));
    return statusOk;
}

int32_t DocumentConverter::ConvertToHtml(std::string& result) {
    mode = OutputMode::Html;
    return ConvertDocument(result);
}

int32_t DocumentConverter::ConvertToXml(std::string& result) {
    mode = OutputMode::Xml;
    return ConvertDocument(result);
}

int32_t DocumentConverter::ConvertDocument(std::string& result) {
    outputPieces.clear();
    // The output is rarely more than twice the input. Reserved pages that are never
    // written cost no memory, and one reservation saves copying the output as it grows.
    outputPieces.reserve(2 * inputLines.TextSize() + 256);

    if (mode == OutputMode::Xml) {
        outputPieces.append("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>");
        outputPieces.append("<document>");
    }
    int32_t status = statusOk;
    for (std::size_t i = 0; i < inputLines.Size(); ++i) {
        status = ConvertLine(inputLines[i]);
    }
    CloseAllElements();
    if (mode == OutputMode::Xml) {
        outputPieces.append("</document>\r\n");
    }
    result = std::move(outputPieces);
    outputPieces.clear();
    return status;
}

int32_t DocumentConverter::ConvertLine(std::string_view line) {
    if (line.empty() || line.front() == '\r' || line.front() == '\n') {
        return HandleBlankLine(line);
    }
    const char first = line.front();
    if (first != '|') {
        lastDivisionName.clear();
    }
    int32_t status = statusOk;
    switch (first) {
        case '!':
        case '-':
        case '>':
        case '|':
            status = HandleListLine(line);
            break;
        case '*':
            status = HandleSectionLine(line);
            break;
        case ':':
            status = HandleCommandLine(line);
            break;
        case '#':
        case ';':
            return statusOk;  // a comment: nothing is written, nothing is closed
        default:
            status = HandleParagraphLine(line);
            break;
    }
    if (status < 0) {
        HandleIncompleteLine(line);
        return statusOk;
    }
    return status;
}

void DocumentConverter::CloseTopElement() {
    const OpenElement element = elementStack.Pop();
    outputPieces.append("</").append(element.name).append(">\r\n");
}

void DocumentConverter::CloseToSection() {
    while (!elementStack.Empty() && elementStack.Top().kind != ElementKind::Section) {
        CloseTopElement();
    }
}

void DocumentConverter::CloseAllElements() {
    while (!elementStack.Empty()) {
        CloseTopElement();
    }
}

}  // namespace quirtle
