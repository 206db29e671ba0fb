// The steps of a conversion, opened up for the tests and the fuzz target.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "DocumentConverter.h"
#include "LineEnds.h"

namespace quirtle::testing {

class ConverterAccess : public DocumentConverter {
  public:
    explicit ConverterAccess(OutputMode mode = OutputMode::Html)
        : DocumentConverter(mode, discard) {}

    using DocumentConverter::BuildBlockStartTag;
    using DocumentConverter::BuildCommandStartTag;
    using DocumentConverter::ConvertInline;
    using DocumentConverter::ConvertLine;
    using DocumentConverter::LastDivisionName;
    using DocumentConverter::Mode;
    using DocumentConverter::ParseBlockMarker;
    using DocumentConverter::ParseClassAndId;
    using DocumentConverter::ParseElementHead;

    // Keeps `text` for the conversions that follow.
    int32_t SplitLines(std::string text) {
        manuscript = std::move(text);
        return statusOk;
    }
    const std::string& Text() const { return manuscript; }
    // Converts the kept text with this converter, which keeps what it learnt (the mode,
    // the last division name) for the calls that follow.
    int32_t ConvertToHtml(std::string& out) { return Convert(OutputMode::Html, out); }
    int32_t ConvertToXml(std::string& out) { return Convert(OutputMode::Xml, out); }

  private:
    int32_t Convert(OutputMode mode, std::string& out) {
        Start(mode, nullptr, out);
        ConvertLines(manuscript, true);
        return Finish();
    }

    // Output of the conversion the constructor starts, which no test looks at.
    struct DiscardingSink : OutputSink {
        void Write(std::string_view) override {}
    };
    static inline DiscardingSink discard;
    std::string manuscript;
};

// Cuts the line that starts at `cursor` byte by byte at its first CR or LF: sets
// `lineEnd` to the end of its text and returns where the next line starts.
inline const char* CutLine(const char* cursor, const char* end, bool last, const char*& lineEnd) {
    const char* stop = cursor;
    while (stop < end && *stop != '\r' && *stop != '\n') {
        ++stop;
    }
    lineEnd = stop;
    return NextLineStart(stop, end, last);
}

// The lines of `text` as the converter cuts them.
inline std::vector<std::string> LinesOf(std::string_view text) {
    std::vector<std::string> lines;
    const char* cursor = text.data();
    const char* const end = cursor + text.size();
    while (cursor < end) {
        const char* lineEnd = nullptr;
        const char* const next = CutLine(cursor, end, true, lineEnd);
        lines.emplace_back(cursor, lineEnd);
        cursor = next;
    }
    return lines;
}

}  // namespace quirtle::testing
