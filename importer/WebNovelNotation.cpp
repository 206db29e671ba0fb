#include "WebNovelNotation.h"

#include <algorithm>

#include "SourceText.h"
#include "Unicode.h"

namespace quirtle::importer {

namespace {

bool IsBar(char32_t c) {
    return c == U'｜' || c == U'|';
}

char32_t ClosingParenthesis(char32_t c) {
    return c == U'（' ? U'）' : c == U'(' ? U')' : 0;
}

// Tries a ruby with `reading` over the text before it: the bar's base first, else the
// run of kanji.
bool AddRuby(InlineLine& line, std::u32string_view reading, const WebNovelRules& rules) {
    if (reading.empty() || reading.size() > rules.maxReading) return false;
    if (line.RubyFromBar(reading, rules.maxBase)) return true;
    // A bar whose base is too long makes no ruby at all (the bar stays as text).
    if (line.HasBar()) {
        const auto& nodes = line.Nodes();
        const bool barPending = std::any_of(nodes.begin(), nodes.end(), [](const InlineNode& n) {
            return n.kind == InlineNode::Kind::Bar;
        });
        if (barPending && nodes.back().kind != InlineNode::Kind::Bar) return false;
    }
    return line.RubyFromRun(reading, kKanji, rules.maxBase);
}

// Rubies whose reading is one "・" per base character become one emphasis.
void DotRubiesToEmphasis(InlineLine& line) {
    std::vector<InlineNode> nodes;
    for (InlineNode& node : line.Nodes()) {
        const bool dots =
            node.kind == InlineNode::Kind::Ruby && node.children.size() == 1 &&
            node.children[0].kind == InlineNode::Kind::Text &&
            node.text.size() == node.children[0].text.size() &&
            std::all_of(node.text.begin(), node.text.end(), [](char32_t c) { return c == U'・'; });
        if (!dots) {
            nodes.push_back(std::move(node));
            continue;
        }
        if (nodes.empty() || nodes.back().kind != InlineNode::Kind::Emphasis) {
            nodes.push_back({InlineNode::Kind::Emphasis, {}, {}, 0});
            nodes.back().children.push_back({InlineNode::Kind::Text, {}, {}, 0});
        }
        nodes.back().children[0].text += node.children[0].text;
    }
    line.Nodes() = std::move(nodes);
}

}  // namespace

InlineLine ReadWebNovelLine(std::u32string_view text, const WebNovelRules& rules) {
    InlineLine line;
    std::size_t i = 0;
    while (i < text.size()) {
        const char32_t c = text[i];
        if (IsBar(c) && i + 1 < text.size() &&
            (text[i + 1] == U'《' || (rules.parenthesisRuby && ClosingParenthesis(text[i + 1])))) {
            // A bar before an opening bracket writes the bracket itself.
            line.AppendText(text[i + 1]);
            i += 2;
            continue;
        }
        if (IsBar(c)) {
            line.AppendBar(c);
            ++i;
            continue;
        }
        if (c == U'《' && rules.doubleBracketEmphasis && i + 1 < text.size() &&
            text[i + 1] == U'《') {
            const std::size_t close = text.find(U"》》", i + 2);
            if (close != std::u32string_view::npos && close > i + 2) {
                InlineNode emphasis{InlineNode::Kind::Emphasis, {}, {}, 0};
                emphasis.children.push_back({InlineNode::Kind::Text,
                                             std::u32string(text.substr(i + 2, close - i - 2)),
                                             {},
                                             0});
                line.Nodes().push_back(std::move(emphasis));
                i = close + 2;
                continue;
            }
        }
        if (c == U'《') {
            const std::size_t close = text.find(U'》', i + 1);
            if (close != std::u32string_view::npos &&
                AddRuby(line, text.substr(i + 1, close - i - 1), rules)) {
                i = close + 1;
                continue;
            }
        }
        if (rules.parenthesisRuby && ClosingParenthesis(c)) {
            const std::size_t close = text.find(ClosingParenthesis(c), i + 1);
            if (close != std::u32string_view::npos) {
                const std::u32string_view reading = text.substr(i + 1, close - i - 1);
                if (std::all_of(reading.begin(), reading.end(), IsKana) &&
                    AddRuby(line, reading, rules)) {
                    i = close + 1;
                    continue;
                }
            }
        }
        line.AppendText(c);
        ++i;
    }
    line.Finish();
    if (rules.dotRubyEmphasis) DotRubiesToEmphasis(line);
    return line;
}

void ReadWebNovelText(std::u32string_view text, const WebNovelRules& rules, MarkupWriter& writer) {
    for (std::u32string_view source : SplitLines(text)) {
        if (source.empty()) {
            writer.Blank();
            continue;
        }
        writer.Paragraph(ReadWebNovelLine(source, rules));
    }
}

}  // namespace quirtle::importer
