// Reading one line's share of the export document against the line as the author typed
// it: where each character the reader sees was typed, and the values the export text
// escapes (entities, the reading of a ruby). No widgets: only text and positions.
#pragma once

#include <QString>
#include <string_view>
#include <utility>

namespace quirtle::vertical {

// UTF-16 units of a code point.
inline int Units(char32_t code) {
    return code > 0xFFFF ? 2 : 1;
}

// Walks the typed line alongside the reader's text, to find where each character the
// paper shows was typed. The markup between them (markers, readings, command heads) is
// stepped over: readings and heads explicitly, since their characters could otherwise be
// taken for the text that follows them.
class TypedLineAligner {
  public:
    explicit TypedLineAligner(std::string_view line) : line(line) {}

    // Where `code` was typed (UTF-16 position and units), at or after the current place;
    // moves past it. A character not found (none should be) stands at the current place
    // and takes no units.
    std::pair<int, int> Find(char32_t code);
    // Past the next `marker` byte (the '*' that closes an emphasis).
    void SkipPast(char marker);
    // Past the reading of a ruby: the next '[' up to its ']', backslashes escaping.
    void SkipReading();
    // Past the head of an inline command: the next '{' up to its '}', quotes kept whole.
    void SkipHead();

  private:
    static constexpr int kMaxMisses = 4;  // each miss reads the rest of the line

    std::size_t Decode(std::size_t at, char32_t& code) const;
    void Step();

    std::string_view line;
    std::size_t byte = 0;
    int unit = 0;
    int misses = 0;
};

// The decoded value of an entity the converter writes ("&amp;", "&#x2014;", ...).
char32_t EntityValue(std::string_view entity);

// The value of attribute param0 of a start tag, entities read.
QString ParamZero(std::string_view tag);

}  // namespace quirtle::vertical
