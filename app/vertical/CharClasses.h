// How each character stands in a vertical line of Japanese text.
#pragma once

#include <QChar>
#include <cstdint>

namespace quirtle::vertical {

// How a cell's character is drawn in a vertical column.
enum class Glyph : std::uint8_t {
    Upright,     // kanji, kana and the other full-width characters: as they are
    Comma,       // 、。，． : set in the top-right of the cell
    Turned,      // brackets and long lines: their vertical form, else turned a quarter
    Small,       // small kana: moved towards the top right
    Sideways,    // half-width letters, digits and signs: turned a quarter, one a cell
    SideBySide,  // two half-width digits, !? or !!: upright side by side in one cell
};

// The class of one character (a code point).
Glyph GlyphOf(char32_t c);

// A character that may not start a column that a line wraps into.
bool NeverStartsColumn(char32_t c);
// A character that may hang below the last cell of a column instead (closing punctuation).
bool MayHang(char32_t c);

// The vertical presentation form of a character (U+FE10–FE19, U+FE30–FE48), or 0 when
// Unicode has none.
char32_t VerticalForm(char32_t c);

}  // namespace quirtle::vertical
