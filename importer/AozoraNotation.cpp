#include "AozoraNotation.h"

#include <algorithm>
#include <vector>

#include "Gaiji.h"
#include "SourceText.h"
#include "Unicode.h"

namespace quirtle::importer {

namespace {

using Kind = InlineNode::Kind;

// The ranges an annotation can open: emphasis, 縦中横, and headings by depth.
constexpr int kEmphasisRange = 1;
constexpr int kTcyRange = 2;
constexpr int kHeadingRange = 10;  // + depth

constexpr unsigned kAozoraRunKinds =
    kKanji | kHiragana | kKatakana | kFullWidthAlnum | kHalfWidthAlnum | kGreek | kCyrillic;

bool StartsWith(std::u32string_view text, std::u32string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::u32string_view text, std::u32string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

int HeadingDepth(std::u32string_view kind) {
    if (kind == U"大見出し") return 1;
    if (kind == U"中見出し") return 2;
    if (kind == U"小見出し") return 3;
    return 0;
}

// "「X」rest": the quoted target and what follows it.
bool SplitTarget(std::u32string_view content, std::u32string_view& target,
                 std::u32string_view& rest) {
    if (!StartsWith(content, U"「")) return false;
    const std::size_t close = content.rfind(U'」');
    if (close == std::u32string_view::npos || close < 2) return false;
    target = content.substr(1, close - 1);
    rest = content.substr(close + 1);
    return true;
}

// Dashes alone: the rules around the legend.
bool IsRule(std::u32string_view line) {
    return line.size() >= 10 && std::all_of(line.begin(), line.end(),
                                            [](char32_t c) { return c == U'-' || c == U'－'; });
}

// The end of the annotation that starts at `open` ("［＃"), nested brackets included.
std::size_t AnnotationEnd(std::u32string_view line, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < line.size(); ++i) {
        if (line[i] == U'［') ++depth;
        if (line[i] == U'］' && --depth == 0) return i;
    }
    return std::u32string_view::npos;
}

// A reading's own characters: 外字注記 in it become their characters.
std::u32string ReadingText(std::u32string_view reading) {
    std::u32string text;
    std::size_t i = 0;
    while (i < reading.size()) {
        if (reading[i] == U'※' && StartsWith(reading.substr(i + 1), U"［＃")) {
            const std::size_t end = AnnotationEnd(reading, i + 1);
            if (end != std::u32string_view::npos) {
                if (auto character = GaijiCharacter(reading.substr(i + 3, end - i - 3))) {
                    text += *character;
                    i = end + 1;
                    continue;
                }
            }
        }
        text += reading[i++];
    }
    return text;
}

// A header line's text as a reader sees it: 外字注記 resolved, ruby bases without their
// readings, other annotations as they are written.
std::u32string HeaderText(std::u32string_view source) {
    std::u32string text;
    std::size_t j = 0;
    while (j < source.size()) {
        if (source[j] == U'［' && j + 1 < source.size() && source[j + 1] == U'＃') {
            const std::size_t end = AnnotationEnd(source, j);
            if (end != std::u32string_view::npos) {
                const auto character = GaijiCharacter(source.substr(j + 2, end - j - 2));
                if (character && !text.empty() && text.back() == U'※') {
                    text.back() = (*character)[0];
                    text += std::u32string_view(*character).substr(1);
                } else {
                    text += source.substr(j, end - j + 1);
                }
                j = end + 1;
                continue;
            }
        }
        if (source[j] == U'《') {
            const std::size_t close = source.find(U'》', j + 1);
            if (close != std::u32string_view::npos) {
                j = close + 1;
                continue;
            }
        }
        if (source[j] != U'｜') text += source[j];
        ++j;
    }
    return text;
}

// What one source line gives.
struct LineResult {
    InlineLine line;
    int headingDepth = 0;
    std::size_t headingVisible = 0;  // visible characters when the heading was named
    std::size_t headingNode = 0;     // where its annotation goes back should more follow
    std::u32string headingAnnotation;
    int lineIndent = 0;  // ［＃N字下げ］ at the head of this line
    bool pageBreakAfter = false;
};

class AozoraReader {
  public:
    explicit AozoraReader(MarkupWriter& writer) : writer_(writer) {}

    void Read(std::u32string_view text);

  private:
    std::size_t ReadHeader(const std::vector<std::u32string_view>& lines);
    void ReadLine(std::u32string_view source);
    // Returns false when the annotation is not one the reader knows.
    bool Annotation(std::u32string_view content, std::u32string_view written);
    // Whether the target found holds all the line but the space at its head.
    bool WholeLine(std::size_t fromEnd, std::size_t toEnd) const;
    void SetHeading(int depth, std::u32string_view written);
    void Emit();

    MarkupWriter& writer_;
    LineResult current_;
    int indent_ = 0;                // ［＃ここからN字下げ］ in force
    bool emphasisCarried_ = false;  // a ［＃傍点］ range goes on from an earlier line
};

bool AozoraReader::WholeLine(std::size_t fromEnd, std::size_t toEnd) const {
    const std::u32string visible = current_.line.Visible();
    return toEnd == 0 &&
           std::all_of(visible.begin(), visible.end() - static_cast<std::ptrdiff_t>(fromEnd),
                       IsLineSpace);
}

void AozoraReader::SetHeading(int depth, std::u32string_view written) {
    current_.headingDepth = depth;
    current_.headingVisible = current_.line.Visible().size();
    current_.headingNode = current_.line.Nodes().size();
    current_.headingAnnotation = written;
}

bool AozoraReader::Annotation(std::u32string_view content, std::u32string_view written) {
    InlineLine& line = current_.line;
    if (content == U"改ページ" || content == U"改丁" || content == U"改見開き") {
        current_.pageBreakAfter = true;
        Emit();
        return true;
    }
    std::u32string_view target;
    std::u32string_view rest;
    std::size_t from = 0;
    std::size_t to = 0;
    if (SplitTarget(content, target, rest)) {
        if (!line.FindTarget(target, from, to)) return false;
        if (StartsWith(rest, U"は") && HeadingDepth(rest.substr(1)) > 0) {
            if (!WholeLine(from, to) || current_.headingDepth > 0) return false;
            SetHeading(HeadingDepth(rest.substr(1)), written);
            return true;
        }
        if ((StartsWith(rest, U"に") || StartsWith(rest, U"の左に")) && EndsWith(rest, U"傍点")) {
            return line.Wrap(from, to, Kind::Emphasis);
        }
        if (rest == U"は縦中横") return line.Wrap(from, to, Kind::Tcy);
        return false;
    }
    if (HeadingDepth(content) > 0) {
        line.AppendRangeStart(kHeadingRange + HeadingDepth(content), written);
        return true;
    }
    if (EndsWith(content, U"終わり") && HeadingDepth(content.substr(0, content.size() - 3)) > 0) {
        const int depth = HeadingDepth(content.substr(0, content.size() - 3));
        // The range must hold the whole line: nothing but space before its start.
        const auto& nodes = line.Nodes();
        bool found = false;
        for (std::size_t i = nodes.size(); i-- > 0;) {
            if (nodes[i].kind == Kind::RangeStart && nodes[i].range == kHeadingRange + depth) {
                InlineLine before;
                before.Nodes().assign(nodes.begin(),
                                      nodes.begin() + static_cast<std::ptrdiff_t>(i));
                const std::u32string text = before.Visible();
                found = std::all_of(text.begin(), text.end(), IsLineSpace);
                break;
            }
        }
        if (!found || current_.headingDepth > 0) return false;
        line.DropRangeStart(kHeadingRange + depth);
        SetHeading(depth, written);
        return true;
    }
    if (content == U"縦中横") {
        line.AppendRangeStart(kTcyRange, written);
        return true;
    }
    if (content == U"縦中横終わり") return line.CloseRange(kTcyRange, Kind::Tcy);
    if (EndsWith(content, U"傍点")) {
        line.AppendRangeStart(kEmphasisRange, written);
        return true;
    }
    if (EndsWith(content, U"傍点終わり")) {
        if (!line.CloseRange(kEmphasisRange, Kind::Emphasis)) return false;
        emphasisCarried_ = false;
        return true;
    }
    if (StartsWith(content, U"ここから") && EndsWith(content, U"字下げ")) {
        if (auto n = ParseNumber(content.substr(4, content.size() - 7))) {
            indent_ = *n;
            return true;
        }
        return false;
    }
    if (content == U"ここで字下げ終わり") {
        indent_ = 0;
        return true;
    }
    if (EndsWith(content, U"字下げ") && line.Visible().empty()) {
        if (auto n = ParseNumber(content.substr(0, content.size() - 3))) {
            current_.lineIndent = *n;
            return true;
        }
    }
    return false;
}

void AozoraReader::ReadLine(std::u32string_view source) {
    if (emphasisCarried_) current_.line.AppendRangeStart(kEmphasisRange, U"");
    std::size_t i = 0;
    while (i < source.size()) {
        const char32_t c = source[i];
        if (c == U'［' && i + 1 < source.size() && source[i + 1] == U'＃') {
            const std::size_t end = AnnotationEnd(source, i);
            if (end != std::u32string_view::npos) {
                const std::u32string_view content = source.substr(i + 2, end - i - 2);
                const std::u32string_view written = source.substr(i, end - i + 1);
                const std::optional<std::u32string> character =
                    i > 0 && source[i - 1] == U'※' ? GaijiCharacter(content) : std::nullopt;
                if (character && current_.line.RemoveLastChar(U'※')) {
                    current_.line.AppendText(*character);
                } else if (!Annotation(content, written)) {
                    current_.line.AppendKept(written);
                }
                i = end + 1;
                continue;
            }
        }
        if (c == U'｜') {
            current_.line.AppendBar(c);
            ++i;
            continue;
        }
        if (c == U'《') {
            const std::size_t close = source.find(U'》', i + 1);
            if (close != std::u32string_view::npos && close > i + 1) {
                const std::u32string reading = ReadingText(source.substr(i + 1, close - i - 1));
                if (current_.line.RubyFromBar(reading, SIZE_MAX) ||
                    current_.line.RubyFromRun(reading, kAozoraRunKinds, SIZE_MAX)) {
                    i = close + 1;
                    continue;
                }
            }
        }
        current_.line.AppendText(c);
        ++i;
    }
    // An emphasis range goes on into the next line.
    if (current_.line.HasRangeStart(kEmphasisRange)) {
        current_.line.CloseRange(kEmphasisRange, Kind::Emphasis);
        emphasisCarried_ = true;
    }
    Emit();
}

void AozoraReader::Emit() {
    LineResult result = std::move(current_);
    current_ = LineResult{};
    InlineLine& line = result.line;
    if (result.headingDepth > 0 && line.Visible().size() != result.headingVisible) {
        // More text followed the heading's annotation: the line stays a paragraph.
        auto& nodes = line.Nodes();
        if (!result.headingAnnotation.empty()) {
            nodes.insert(nodes.begin() + static_cast<std::ptrdiff_t>(
                                             std::min(result.headingNode, nodes.size())),
                         InlineNode{Kind::Kept, result.headingAnnotation, {}, 0});
        }
        result.headingDepth = 0;
    }
    line.Finish();
    if (result.headingDepth > 0) {
        writer_.Heading(result.headingDepth, line);
    } else if (!line.Empty()) {
        writer_.Paragraph(line, result.lineIndent > 0 ? result.lineIndent : indent_);
    }
    if (result.pageBreakAfter) writer_.Command(U"pagebreak");
}

std::size_t AozoraReader::ReadHeader(const std::vector<std::u32string_view>& lines) {
    // Title, (subtitle,) author: a few short lines at the very start, ended by a blank
    // line or the legend's rule, without sentences or indents.
    std::size_t count = 0;
    while (count < lines.size() && count < 6 && !lines[count].empty() && !IsRule(lines[count])) {
        const std::u32string_view line = lines[count];
        if (line.size() > 60 || IsLineSpace(line.front()) || line.find(U'。') != line.npos) {
            return 0;
        }
        // Annotations other than 外字注記 belong to the body.
        for (std::size_t at = line.find(U"［＃"); at != line.npos;
             at = line.find(U"［＃", at + 1)) {
            if (at == 0 || line[at - 1] != U'※') return 0;
        }
        ++count;
    }
    if (count == 0 || count == 6 || count == lines.size() ||
        (!lines[count].empty() && !IsRule(lines[count]))) {
        return 0;
    }
    std::vector<std::u32string> texts;
    for (std::size_t i = 0; i < count; ++i) texts.push_back(HeaderText(lines[i]));
    std::u32string title = texts.front();
    for (std::size_t i = 1; i + 1 < count; ++i) title += U" " + texts[i];
    writer_.Command(U"title", title);
    if (count >= 2) writer_.Command(U"author", texts.back());
    return count;
}

void AozoraReader::Read(std::u32string_view text) {
    const std::vector<std::u32string_view> lines = SplitLines(text);
    std::size_t next = ReadHeader(lines);
    // The legend of the notation between two rules, after the header's blank lines.
    std::size_t rule = next;
    while (rule < lines.size() && lines[rule].empty()) ++rule;
    if (rule < lines.size() && IsRule(lines[rule])) {
        for (std::size_t end = rule + 1; end < lines.size() && end < rule + 80; ++end) {
            if (IsRule(lines[end])) {
                // The blank lines between the header and the legend go with it.
                next = end + 1;
                break;
            }
        }
    }
    for (std::size_t i = next; i < lines.size(); ++i) {
        if (lines[i].empty()) {
            writer_.Blank();
            continue;
        }
        ReadLine(lines[i]);
    }
}

}  // namespace

void ReadAozoraText(std::u32string_view text, MarkupWriter& writer) {
    AozoraReader reader(writer);
    reader.Read(text);
}

}  // namespace quirtle::importer
