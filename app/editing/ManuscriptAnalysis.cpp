#include "editing/ManuscriptAnalysis.h"

#include <algorithm>
#include <string>

#include "ConvertManuscript.h"
#include "DocumentConverter.h"
#include "counts/TextCounts.h"

namespace quirtle::editing {

namespace {

// Keeps the output and, for each line, where its output begins and whether it was rejected.
class LineSink : public OutputSink {
  public:
    std::string output;
    std::vector<std::size_t> offsets;
    std::vector<LineRejection> rejections;

    void Write(std::string_view bytes) override { output.append(bytes); }
    bool ReportsLines() const override { return true; }
    void LineBegins(std::size_t line, std::size_t outputOffset) override {
        offsets.resize(line + 1, outputOffset);
        offsets[line] = outputOffset;
    }
    void LineRejected(std::size_t line, int32_t status) override {
        rejections.push_back({static_cast<int>(line), status});
    }
};

// Where each line of the text starts (CR, LF and CR LF end a line, as the converter reads).
std::vector<std::size_t> LineStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    if (text.empty()) return starts;
    starts.push_back(0);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        if ((text[i] == '\r' || text[i] == '\n') && i + 1 < text.size()) starts.push_back(i + 1);
    }
    return starts;
}

std::string_view LineAt(std::string_view text, const std::vector<std::size_t>& starts,
                        std::size_t line) {
    std::size_t end = line + 1 < starts.size() ? starts[line + 1] : text.size();
    while (end > starts[line] && (text[end - 1] == '\n' || text[end - 1] == '\r')) --end;
    return text.substr(starts[line], end - starts[line]);
}

QString Decode(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The reader's text of an export heading: tags and line breaks left out, entities read.
QString HeadingText(std::string_view xml) {
    std::string plain;
    for (std::size_t i = 0; i < xml.size(); ++i) {
        const char c = xml[i];
        if (c == '<') {
            const std::size_t close = xml.find('>', i);
            if (close == std::string_view::npos) break;
            i = close;
        } else if (c == '&') {
            const std::size_t semicolon = xml.find(';', i);
            if (semicolon == std::string_view::npos) break;
            const std::string_view entity = xml.substr(i, semicolon + 1 - i);
            plain += entity == "&amp;"  ? "&"
                     : entity == "&lt;" ? "<"
                     : entity == "&gt;" ? ">"
                                        : "\"";
            i = semicolon;
        } else if (c != '\r' && c != '\n') {
            plain += c;
        }
    }
    return Decode(plain);
}

// True when the tag at `at` is a section's start tag (<section> or <section ...>).
bool SectionStartAt(std::string_view xml, std::size_t at) {
    constexpr std::string_view open = "<section";
    if (xml.compare(at, open.size(), open) != 0 || at + open.size() >= xml.size()) return false;
    const char next = xml[at + open.size()];
    return next == '>' || next == ' ';
}

}  // namespace

ManuscriptAnalysis AnalyseManuscript(std::string_view manuscript) {
    ManuscriptAnalysis analysis;
    LineSink sink;
    if (ConvertManuscript(manuscript, OutputMode::Xml, sink, TextEncoding::Utf8) < 0)
        return analysis;
    analysis.rejections = sink.rejections;
    const std::vector<std::size_t> starts = LineStarts(manuscript);
    const std::size_t lines = std::min(starts.size(), sink.offsets.size());
    auto outputEnd = [&](std::size_t line) {
        return line + 1 < sink.offsets.size() ? sink.offsets[line + 1] : sink.output.size();
    };
    std::size_t nextRejection = 0;
    int depth = 0;
    const std::string_view output = sink.output;
    for (std::size_t line = 0; line < lines; ++line) {
        const std::string_view source = LineAt(manuscript, starts, line);
        while (nextRejection < sink.rejections.size() &&
               static_cast<std::size_t>(sink.rejections[nextRejection].line) < line) {
            ++nextRejection;
        }
        const bool rejected = nextRejection < sink.rejections.size() &&
                              static_cast<std::size_t>(sink.rejections[nextRejection].line) == line;
        if (source.empty() || source.front() != '*') continue;
        OutlineHeading heading;
        heading.line = static_cast<int>(line);
        if (rejected) {
            // Not read as a section: shown as the author wrote it, under the open section.
            const std::size_t markers = std::min(source.find_first_not_of('*'), source.size());
            heading.rejected = true;
            heading.depth = std::clamp(static_cast<int>(markers), 1, depth + 1);
            heading.text = Decode(source);
        } else {
            // The section tags this line wrote before its heading give the nesting.
            const std::string_view written =
                output.substr(sink.offsets[line], outputEnd(line) - sink.offsets[line]);
            const std::size_t headingStart = written.find("<heading>");
            const std::string_view tags = written.substr(0, headingStart);
            for (std::size_t at = tags.find('<'); at != std::string_view::npos;
                 at = tags.find('<', at + 1)) {
                if (tags.compare(at, 10, "</section>") == 0) --depth;
                if (SectionStartAt(tags, at)) ++depth;
            }
            heading.depth = std::max(depth, 1);
            if (headingStart != std::string_view::npos) {
                const std::size_t textStart = headingStart + 9;
                const std::size_t textEnd = written.rfind("</heading>");
                heading.text = HeadingText(written.substr(
                    textStart, textEnd == std::string_view::npos || textEnd < textStart
                                   ? std::string_view::npos
                                   : textEnd - textStart));
            }
        }
        analysis.headings.push_back(std::move(heading));
    }
    // Each heading counts what it and the text after it show, up to the next heading.
    for (std::size_t i = 0; i < analysis.headings.size(); ++i) {
        const std::size_t from = sink.offsets[static_cast<std::size_t>(analysis.headings[i].line)];
        const std::size_t to =
            i + 1 < analysis.headings.size()
                ? sink.offsets[static_cast<std::size_t>(analysis.headings[i + 1].line)]
                : output.size();
        analysis.headings[i].characters =
            counts::CountExportDocument(output.substr(from, to - from), TextEncoding::Utf8)
                .characters;
    }
    return analysis;
}

int32_t LastLineRejection(std::string_view lines) {
    struct LastSink : OutputSink {
        std::size_t lastLine = 0;
        int32_t status = 0;
        void Write(std::string_view) override {}
        bool ReportsLines() const override { return true; }
        void LineBegins(std::size_t line, std::size_t) override {
            lastLine = line;
            status = 0;
        }
        void LineRejected(std::size_t, int32_t rejection) override { status = rejection; }
    } sink;
    ConvertManuscript(lines, OutputMode::Html, sink, TextEncoding::Utf8);
    return sink.status;
}

QString RejectionReason(int32_t status) {
    if (status == statusNoSpaceAfterMarker) {
        return QStringLiteral(
            "行頭の記号や属性の後に空白がありません（読めない行として表示されます）");
    }
    return QStringLiteral(
        "この行は読めません（閉じていない _ [ ( { \" 、飛ばした階層、"
        "名前の誤り、行末の \\ など）");
}

}  // namespace quirtle::editing
