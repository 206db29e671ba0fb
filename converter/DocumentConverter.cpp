// The converter's driver: cutting the text into lines, per-line dispatch, closing of
// open elements, the document's start and end, and handing the output to the sink.
#include "DocumentConverter.h"

#include "LineEnds.h"
#include "Utf8Repair.h"

namespace quirtle {

namespace {

// Output is handed to the sink once this much has gathered: large enough that a write
// costs little per byte, small enough to stay in the processor's cache.
constexpr std::size_t flushSize = 64 * 1024;

}  // namespace

DocumentConverter::DocumentConverter(OutputMode mode, OutputSink& sink, TextEncoding encoding) {
    SetEncoding(encoding);
    Start(mode, &sink, buffer);
}

DocumentConverter::DocumentConverter(OutputMode mode, std::string& result, TextEncoding encoding) {
    SetEncoding(encoding);
    Start(mode, nullptr, result);
}

void DocumentConverter::SetEncoding(TextEncoding newEncoding) {
    encoding = newEncoding;
    leads = &LeadBytesOf(newEncoding);
    classify = scan::Classifier(newEncoding);
    textClassify = scan::TextClassifier(newEncoding);
}

void DocumentConverter::Start(OutputMode newMode, OutputSink* newSink, std::string& result) {
    mode = newMode;
    spell = &SpellingsOf(newMode, encoding);
    atTextStart = true;
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

// The body of ConvertLine, inlined into the loop of ConvertLines, which calls it for every
// line.
QUIRTLE_ALWAYS_INLINE int32_t DocumentConverter::DispatchLine(std::string_view line) {
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

std::size_t DocumentConverter::ConvertLines(std::string_view text, bool last) {
    const bool utf8 = encoding == TextEncoding::Utf8;
    std::size_t skipped = 0;
    if (atTextStart && utf8) {
        // A byte-order mark is not part of the text. Until three bytes have come, the
        // start may yet be one.
        constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
        const std::string_view start = text.substr(0, byteOrderMark.size());
        if (byteOrderMark.starts_with(start)) {
            if (start.size() < byteOrderMark.size() && !last) {
                return 0;
            }
            if (start.size() == byteOrderMark.size()) {
                skipped = byteOrderMark.size();
                text.remove_prefix(skipped);
            }
        }
    }
    atTextStart = false;
    const std::size_t taken = utf8 ? ConvertLinesIn<TextEncoding::Utf8>(text, last)
                                   : ConvertLinesIn<TextEncoding::ShiftJis>(text, last);
    return skipped + taken;
}

template <TextEncoding textEncoding>
std::size_t DocumentConverter::ConvertLinesIn(std::string_view text, bool last) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    if (sink == nullptr) {
        // The output is rarely more than twice the input. Reserved pages that are never
        // written cost no memory, and one reservation saves copying the output as it grows.
        output->ReserveCapacity(2 * text.size() + 256);
    }
    convertingBegin = begin;
    convertingEnd = end;
    textBlocks.Start(begin, end, plainStops, textClassify, textEncoding);
    const char* start = begin;
    while (start < end) {
        const char* stop = textBlocks.NextLineEnd(start);
        bool repair = false;
        if constexpr (textEncoding == TextEncoding::Utf8) {
            // The text's classifier marks the places where it is not valid UTF-8 as line
            // ends too; a line that holds one, or that ends inside a character (marked on
            // its line end), is repaired before it is read.
            while (stop < end && *stop != '\r' && *stop != '\n') {
                repair = true;
                stop = textBlocks.NextLineEnd(stop + 1);
            }
        }
        const char* const next = NextLineStart(stop, end, last);
        if (next == nullptr) {
            break;
        }
        if constexpr (textEncoding == TextEncoding::Utf8) {
            // The bytes before the line are line ends, or before the text.
            repair = repair || utf8::EndsInsideChar(begin, stop);
        }
        const std::string_view line(start, static_cast<std::size_t>(stop - start));
        if (reportLines) {
            sink->LineBegins(lineIndex, flushedBytes + output->size());
        }
        if (repair) {
            ConvertRepairedLine(line);
        } else {
            currentLineStart = start;
            currentLineEnd = stop;
            DispatchLine(line);
        }
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

void DocumentConverter::ConvertRepairedLine(std::string_view line) {
    repairedLine.clear();
    utf8::AppendRepaired(line, repairedLine);
    // The repaired copy lies outside the classified text: its scans classify it themselves.
    currentLineStart = nullptr;
    currentLineEnd = nullptr;
    ConvertLine(repairedLine);
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
    return DispatchLine(line);
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
