// One line of a source text as the importer builds it: plain text, ruby, emphasis and
// 縦中横 nodes, with the marks (a ruby's starting bar, the start of a range) that later
// notation on the same line resolves. Written out, it is the markup's inline text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quirtle::importer {

struct InlineNode {
    enum class Kind {
        Text,        // characters as they are
        Kept,        // notation the importer does not know, kept as text
        Ruby,        // children: the base; text: the reading
        Emphasis,    // children
        Tcy,         // children, set upright in vertical text
        Bar,         // a ruby's starting bar not yet resolved; text: the bar as written
        RangeStart,  // the start of a range annotation; text: the annotation as written
    };
    Kind kind = Kind::Text;
    std::u32string text;
    std::vector<InlineNode> children;
    int range = 0;  // what a RangeStart opens (the caller's own numbering)
};

class InlineLine {
  public:
    std::vector<InlineNode>& Nodes() { return nodes_; }
    const std::vector<InlineNode>& Nodes() const { return nodes_; }
    bool Empty() const { return nodes_.empty(); }

    void AppendText(char32_t c);
    void AppendText(std::u32string_view text);
    void AppendKept(std::u32string_view text);
    void AppendBar(char32_t bar);
    // Whether a starting bar may still be waiting for its reading (false: surely not).
    bool HasBar() const;
    void AppendRangeStart(int range, std::u32string_view annotation);
    // The last character of plain text, removed (for a mark that turns out to belong to
    // the notation that follows it). False when the line does not end in plain text.
    bool RemoveLastChar(char32_t c);

    // A ruby over everything after the last starting bar. False, changing nothing, when
    // there is no bar or the base would be empty or longer than `maxBase` characters.
    bool RubyFromBar(std::u32string_view reading, std::size_t maxBase);
    // A ruby over the run of characters of one kind at the end of the line, kinds from
    // `allowedKinds` (see Unicode.h). False, changing nothing, when there is no such run
    // or it is longer than `maxBase`.
    bool RubyFromRun(std::u32string_view reading, unsigned allowedKinds, std::size_t maxBase);
    // Wraps the nodes after the last RangeStart of `range` into a node of `kind` and
    // removes the mark. False when there is no such mark.
    bool CloseRange(int range, InlineNode::Kind kind);
    // Removes the last RangeStart of `range`; false when there is none.
    bool DropRangeStart(int range);
    bool HasRangeStart(int range) const;

    // The text a reader sees: plain and kept text, ruby bases; marks count as nothing.
    std::u32string Visible() const;
    // Where `target` ends the visible text, or else its last place in it, as counts of
    // visible characters after its start and after its end. False when it does not occur.
    bool FindTarget(std::u32string_view target, std::size_t& fromEnd, std::size_t& toEnd) const;
    // Wraps the visible characters from `fromEnd` to `toEnd` before the end of the line into
    // a node of `kind`. False, changing nothing visible, when a ruby or another element
    // would be cut.
    bool Wrap(std::size_t fromEnd, std::size_t toEnd, InlineNode::Kind kind);

    // Marks left unresolved become text again: a bar is a bar, a range start the
    // annotation as written; adjacent plain text is joined.
    void Finish();

  private:
    // Index of the first node that starts `fromEnd` visible characters before the end,
    // splitting a text node when the place falls inside it; -1 when it falls inside
    // another node. Work grows with `fromEnd`, not with the line.
    std::ptrdiff_t SplitAtFromEnd(std::size_t fromEnd);

    std::vector<InlineNode> nodes_;
    std::size_t bars_ = 0;  // bars appended and not yet taken by a ruby
};

// The markup of inline nodes at the top level of a line: "_" and "\" escaped.
void WriteInline(const std::vector<InlineNode>& nodes, std::u32string& out);

// Characters that need a backslash at the start of a markup line to stay text.
bool IsLineMarker(char32_t c);

}  // namespace quirtle::importer
