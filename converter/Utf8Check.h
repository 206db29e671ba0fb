// Finding invalid UTF-8 a byte pair at a time, with three 16-entry tables.
//
// Each byte is checked against the one before it: the high nibble of the byte before,
// its low nibble and the high nibble of the byte itself each select a set of possible
// faults, and the faults all three agree on are real (a continuation byte after ASCII, a
// lead byte after a lead byte, an overlong form, a surrogate, a code point above
// U+10FFFF). The third and fourth bytes of a sequence are checked against the lead byte
// two or three places before. A fault is found at the first byte where the text stops
// being valid UTF-8: a continuation byte that no lead byte claims, the first byte after a
// lead byte that is not a continuation byte (a line end too), a second byte out of its
// lead byte's range. The same tables serve the vector classifiers and the plain one.
#pragma once

#include <array>
#include <cstdint>

namespace quirtle::scan::utf8check {

inline constexpr std::uint8_t tooShort = 1 << 0;          // 11______ 0_______ or 11______ 11______
inline constexpr std::uint8_t tooLong = 1 << 1;           // 0_______ 10______
inline constexpr std::uint8_t overlong3 = 1 << 2;         // 11100000 100_____
inline constexpr std::uint8_t tooLarge = 1 << 3;          // 11110100 1001____ and above
inline constexpr std::uint8_t surrogate = 1 << 4;         // 11101101 101_____
inline constexpr std::uint8_t overlong2 = 1 << 5;         // 1100000_ 10______
inline constexpr std::uint8_t tooLarge1000 = 1 << 6;      // 11110101 1000____ and above
inline constexpr std::uint8_t overlong4 = 1 << 6;         // 11110000 1000____
inline constexpr std::uint8_t twoContinuations = 1 << 7;  // 10______ 10______
inline constexpr std::uint8_t carry = tooShort | tooLong | twoContinuations;

using Table = std::array<std::uint8_t, 16>;

// By the high nibble of the byte before.
inline constexpr Table previousHigh = {
    tooLong,
    tooLong,
    tooLong,
    tooLong,
    tooLong,
    tooLong,
    tooLong,
    tooLong,  // ASCII
    twoContinuations,
    twoContinuations,
    twoContinuations,
    twoContinuations,                                // continuation
    tooShort | overlong2,                            // 1100____
    tooShort,                                        // 1101____
    tooShort | overlong3 | surrogate,                // 1110____
    tooShort | tooLarge | tooLarge1000 | overlong4,  // 1111____
};

// By the low nibble of the byte before.
inline constexpr Table previousLow = {
    carry | overlong3 | overlong2 | overlong4,    // ____0000
    carry | overlong2,                            // ____0001
    carry,                                        // ____0010
    carry,                                        // ____0011
    carry | tooLarge,                             // ____0100
    carry | tooLarge | tooLarge1000,              // ____0101
    carry | tooLarge | tooLarge1000,              // ____0110
    carry | tooLarge | tooLarge1000,              // ____0111
    carry | tooLarge | tooLarge1000,              // ____1000
    carry | tooLarge | tooLarge1000,              // ____1001
    carry | tooLarge | tooLarge1000,              // ____1010
    carry | tooLarge | tooLarge1000,              // ____1011
    carry | tooLarge | tooLarge1000,              // ____1100
    carry | tooLarge | tooLarge1000 | surrogate,  // ____1101
    carry | tooLarge | tooLarge1000,              // ____1110
    carry | tooLarge | tooLarge1000,              // ____1111
};

// By the high nibble of the byte itself.
inline constexpr Table currentHigh = {
    tooShort,
    tooShort,
    tooShort,
    tooShort,
    tooShort,
    tooShort,
    tooShort,
    tooShort,                                                                       // ASCII
    tooLong | overlong2 | twoContinuations | overlong3 | tooLarge1000 | overlong4,  // 1000____
    tooLong | overlong2 | twoContinuations | overlong3 | tooLarge,                  // 1001____
    tooLong | overlong2 | twoContinuations | surrogate | tooLarge,                  // 1010____
    tooLong | overlong2 | twoContinuations | surrogate | tooLarge,                  // 1011____
    tooShort,
    tooShort,
    tooShort,
    tooShort,  // lead
};

// Non-zero when the byte `current` is where invalid UTF-8 is found, given the three bytes
// before it.
constexpr std::uint8_t Fault(std::uint8_t before3, std::uint8_t before2, std::uint8_t before1,
                             std::uint8_t current) {
    const std::uint8_t pair =
        previousHigh[before1 >> 4] & previousLow[before1 & 15] & currentHigh[current >> 4];
    // The third byte of a sequence of three or four, or the fourth of four: a continuation
    // byte must stand there, which the pair check marks with twoContinuations.
    const std::uint8_t mustContinue = (before2 >= 0xE0 || before3 >= 0xF0) ? 0x80 : 0;
    return pair ^ mustContinue;
}

}  // namespace quirtle::scan::utf8check
