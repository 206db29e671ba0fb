#include "preview/PreviewJob.h"

#include <chrono>

#include "text/Utf8ShiftJis.h"

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

struct Character {
    std::size_t bytes;
    std::uint32_t units;
};

// The UTF-8 bytes of the character at `at` and the UTF-16 units it decodes to (CR LF is
// one: the decoded fragment has a line feed for it; a character beyond the Basic
// Multilingual Plane is two).
Character CharacterAt(std::string_view html, std::size_t at) {
    const auto c = static_cast<unsigned char>(html[at]);
    if (c == '\r' && at + 1 < html.size() && html[at + 1] == '\n') return {2, 1};
    if (c < 0xC0) return {1, 1};
    if (c < 0xE0) return {2, 1};
    if (c < 0xF0) return {3, 1};
    return {4, 2};
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
            const Character character = CharacterAt(html, byte);
            byte += character.bytes;
            unit += character.units;
        }
        starts.push_back(
            {static_cast<std::uint32_t>(line), unit, line < sections.size() && sections[line]});
    }
    while (byte < html.size()) {
        const Character character = CharacterAt(html, byte);
        byte += character.bytes;
        unit += character.units;
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
    const std::string manuscript = text::ToUtf8(text);
    outcome.stages.encode = clock.Lap();
    if (withCounts) {
        outcome.counts = counts::CountManuscript(manuscript, TextEncoding::Utf8);
        clock.Lap();
    }
    const auto fragment = converter(manuscript);
    outcome.stages.convert = clock.Lap();
    if (!fragment) return outcome;
    std::optional<QString> html = text::FromUtf8WithLf(fragment->html);
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
