// The four bytes written as entities in the output, and their replacements.
#pragma once

#include <array>
#include <string_view>

#include "PaddedPiece.h"

namespace quirtle {

namespace entities {

// For each byte, 0 when it stays as it is, otherwise its index in `replacements`.
inline constexpr std::array<unsigned char, 256> indexOf = [] {
    std::array<unsigned char, 256> index{};
    index['&'] = 1;
    index['<'] = 2;
    index['>'] = 3;
    index['"'] = 4;
    return index;
}();

inline constexpr std::array<std::string_view, 5> replacements = {"", "&amp;", "&lt;", "&gt;",
                                                                 "&quot;"};

// The replacements padded to eight bytes, for writing each in one move.
using PaddedReplacement = PaddedPiece<8>;
using PaddedReplacements = std::array<PaddedReplacement, 5>;
inline constexpr PaddedReplacements padded = {replacements[0], replacements[1], replacements[2],
                                              replacements[3], replacements[4]};

constexpr bool IsEscaped(char byte) {
    return indexOf[static_cast<unsigned char>(byte)] != 0;
}

// The replacement of an escaped byte, or an empty view when the byte stays as it is.
constexpr std::string_view Of(char byte) {
    return replacements[indexOf[static_cast<unsigned char>(byte)]];
}

}  // namespace entities

}  // namespace quirtle
