// The converter's driver: cutting the text into lines, per-line dispatch, closing of
// open elements, the document's start and end, and handing the output to the sink.
#include "DocumentConverter.h"

#include "LineEnds.h"

namespace quirtle {

namespace {

// Output is handed to the sink once this much has gathered: large enough that a write
// costs little per byte, small enough to stay in the processor's cache.
constexpr std::size_t flushSize = 64 * 1024;

}  // namespace

DocumentConverter::DocumentConverter(OutputMode mode, OutputSink& sink) {
    Start(mode, &sink, buffer);
}

DocumentConverter::DocumentConverter(OutputMode mode, std::string& result) {
    Start(mode, nullptr, result);
}

void DocumentConverter::Start(OutputMode newMode, OutputSink* newSink, std::string& result) {
    mode = newMode;
    spell = &SpellingsOf(newMode);
    sink = newSink;
    reportLines = newSink != nullptr && newSink->ReportsLines();
    lineIndex = 0;
    flushedBytes = 0;
    if (newSink != nullptr) {
        buffer.reserve(flushSize + flushSize / 2);
    }
    // The output buffer starts empty and writes over what the string held.
    output.emplace(newSink != nullptr ? buffer : result);
    output->clear();
    while (!elementStack.Empty()) {
        elementStack.Pop();
    }
    lastDivisionName.clear();
    output->append(spell->documentStart);
}

std::size_t DocumentConverter::ConvertLines(std::string_view text, bool last) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    if (sink == nullptr) {
        // The output is rarely more than twice the input. Reserved pages that are never
        // written cost no memory, and one reservation saves copying the output as it grows.
        output->ReserveCapacity(2 * text.size() + 256);
    }
    convertingBegin = begin;
    convertingEnd = end;
    textBlocks.Start(begin, end, plainStops, classify);
    const char* start = begin;
    while (start < end) {
        const char* const stop = textBlocks.NextLineEnd(start);
        const char* const next = NextLineStart(stop, end, last);
        if (next == nullptr) {
            break;
        }
        currentLineStart = start;
        currentLineEnd = stop;
        if (reportLines) {
            sink->LineBegins(lineIndex, flushedBytes + output->size());
        }
        ConvertLine(std::string_view(start, static_cast<std::size_t>(stop - start)));
        start = next;
        ++lineIndex;
        if (sink != nullptr && output->size() >= flushSize) {
            Flush();
        }
    }
    textBlocks.Stop();
    currentLineStart = nullptr;
    currentLineEnd = nullptr;
    convertingBegin = nullptr;
    convertingEnd = nullptr;
    return static_cast<std::size_t>(start - begin);
}

int32_t DocumentConverter::Finish() {
    CloseAllElements();
    output->append(spell->documentEnd);
    Flush();
    if (sink == nullptr) {
        output->Finish();
    }
    return statusOk;
}

void DocumentConverter::Flush() {
    if (sink != nullptr && !output->empty()) {
        sink->Write(output->view());
        flushedBytes += output->size();
        output->clear();
    }
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
        if (reportLines) {
            sink->LineRejected(lineIndex, status);
        }
        HandleIncompleteLine(line);
        return statusOk;
    }
    return status;
}

void DocumentConverter::CloseTopElement() {
    output->append("</").append(elementStack.Top().name).append(">\r\n");
    elementStack.Pop();
}

void DocumentConverter::CloseToSectionFromInside() {
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
