#include "preview/PreviewJob.h"

#include <chrono>

#include "text/ShiftJis.h"

namespace quirtle {

namespace {

class StageClock {
  public:
    // Milliseconds since the last call (or since the clock was made).
    double Lap() {
        const auto now = std::chrono::steady_clock::now();
        const double ms = std::chrono::duration<double, std::milli>(now - last).count();
        last = now;
        return ms;
    }

  private:
    std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
};

bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc);
}

// The bytes of the character at `at`, which decodes to one UTF-16 unit (CR LF too: the
// decoded fragment has a line feed for it).
std::size_t CharacterSize(std::string_view html, std::size_t at) {
    const auto c = static_cast<unsigned char>(html[at]);
    if (c == '\r' && at + 1 < html.size() && html[at + 1] == '\n') return 2;
    return IsLeadByte(c) ? 2 : 1;
}

// Which lines of the manuscript are section lines (their first byte is '*').
std::vector<bool> SectionLines(std::string_view manuscript) {
    std::vector<bool> sections;
    bool atStart = true;
    for (std::size_t i = 0; i < manuscript.size(); ++i) {
        const char c = manuscript[i];
        if (atStart) sections.push_back(c == '*');
        atStart = false;
        if (c == '\r') {
            if (i + 1 < manuscript.size() && manuscript[i + 1] == '\n') ++i;
            atStart = true;
        } else if (c == '\n') {
            atStart = true;
        }
    }
    return sections;
}

// The line starts of the fragment in UTF-16 units.
// None when the counts do not meet the decoded text's length.
std::vector<PreviewLineStart> LineStarts(const PreviewFragment& fragment, qsizetype units,
                                         std::string_view manuscript) {
    std::vector<PreviewLineStart> starts;
    if (fragment.lines.empty()) return starts;
    const std::vector<bool> sections = SectionLines(manuscript);
    starts.reserve(fragment.lines.size());
    const std::string& html = fragment.html;
    std::size_t byte = 0;
    std::uint32_t unit = 0;
    for (const auto& [line, offset] : fragment.lines) {
        if (offset < byte) return {};
        while (byte < offset && byte < html.size()) {
            byte += CharacterSize(html, byte);
            ++unit;
        }
        starts.push_back(
            {static_cast<std::uint32_t>(line), unit, line < sections.size() && sections[line]});
    }
    while (byte < html.size()) {
        byte += CharacterSize(html, byte);
        ++unit;
    }
    if (unit != units) return {};
    return starts;
}

}  // namespace

PreviewOutcome MakePreview(std::uint64_t number, const QString& text,
                           const PreviewLinesConverter& converter, bool withCounts) {
    PreviewOutcome outcome;
    outcome.number = number;
    StageClock clock;
    const std::string manuscript = text::EncodeShiftJis(text).bytes;
    outcome.stages.encode = clock.Lap();
    if (withCounts) {
        outcome.counts = counts::CountManuscript(manuscript);
        clock.Lap();
    }
    const auto fragment = converter(manuscript);
    outcome.stages.convert = clock.Lap();
    if (!fragment) return outcome;
    auto html = text::DecodeShiftJis(fragment->html);
    outcome.stages.decode = clock.Lap();
    if (!html) return outcome;
    auto document = std::make_shared<PreviewDocument>();
    document->html = std::move(*html);
    document->blocks =
        SplitIntoBlocks(document->html, LineStarts(*fragment, document->html.size(), manuscript));
    outcome.stages.split = clock.Lap();
    outcome.document = std::move(document);
    return outcome;
}

}  // namespace quirtle
