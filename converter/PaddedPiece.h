// A short piece of output kept in a buffer of fixed size, so that it is written with one
// move of the whole buffer and no branch on its length (the output makes room for the
// whole buffer; only `length` bytes count).
#pragma once

#include <cstddef>
#include <string_view>

namespace quirtle {

template <std::size_t paddedSize>
struct PaddedPiece {
    static constexpr std::size_t capacity = paddedSize;

    constexpr PaddedPiece() = default;
    // Pieces are made from literals at compile time; one that does not fit is an error there.
    constexpr PaddedPiece(std::string_view text) {  // NOLINT(google-explicit-constructor)
        Append(text);
    }
    constexpr PaddedPiece(const char* text)  // NOLINT(google-explicit-constructor)
        : PaddedPiece(std::string_view(text)) {}
    constexpr void Append(std::string_view text) {
        if (length + text.size() > paddedSize) {
            throw "piece longer than its buffer";
        }
        for (const char byte : text) {
            bytes[length++] = byte;
        }
    }
    constexpr std::string_view view() const { return {bytes, length}; }

    char bytes[paddedSize] = {};
    std::size_t length = 0;
};

}  // namespace quirtle
