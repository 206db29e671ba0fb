// UTF-8 and UTF-32 text: decoding, encoding and the character kinds the notations need.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quirtle::importer {

// The characters of well-formed UTF-8 bytes; nothing when the bytes are not UTF-8
// (overlong forms, surrogates and values beyond U+10FFFF included).
std::optional<std::u32string> DecodeUtf8(std::string_view bytes);

void AppendUtf8(std::string& out, char32_t character);
std::string EncodeUtf8(std::u32string_view text);

// Kinds of characters whose runs a ruby without a starting bar takes as its base. A
// character may be of several kinds (the long-vowel mark goes with either kana).
enum CharKind : unsigned {
    kKanji = 1u << 0,
    kHiragana = 1u << 1,
    kKatakana = 1u << 2,
    kFullWidthAlnum = 1u << 3,
    kHalfWidthAlnum = 1u << 4,
    kGreek = 1u << 5,
    kCyrillic = 1u << 6,
};

// Ideographs and the marks that write like them (々〆〇ヶ and their kin).
bool IsKanji(char32_t c);
// Hiragana, katakana (full- and half-width) and the long-vowel mark.
bool IsKana(char32_t c);
// The kinds of `c`, or 0 when it belongs to none.
unsigned KindsOf(char32_t c);
// White space at the head of a line: ASCII space, tab and the ideographic space.
bool IsLineSpace(char32_t c);

}  // namespace quirtle::importer
