// Which bytes start a two-byte character, for each input encoding.
//
// Shift_JIS: a lead byte (0x81-0x9F, 0xE0-0xFC) takes the byte after it, whatever that
// is, so a second byte such as 0x5C is never taken for a backslash.
//
// UTF-8 is read byte by byte: every markup and escaped character is ASCII, and no byte of
// a multibyte UTF-8 character is below 0x80, so stepping a byte at a time never takes a
// part of a character for markup and never steps over an ASCII byte. Invalid sequences
// never reach the scanners: a line that holds one is read with each of them replaced by
// U+FFFD first (Utf8Repair.h).
#pragma once

#include <array>

#include "TextEncoding.h"

namespace quirtle {

using LeadBytes = std::array<bool, 256>;

inline constexpr LeadBytes shiftJisLeadBytes = [] {
    LeadBytes leads{};
    for (int byte = 0; byte < 256; ++byte) {
        leads[byte] = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    }
    return leads;
}();

inline constexpr LeadBytes utf8LeadBytes{};

constexpr const LeadBytes& LeadBytesOf(TextEncoding encoding) {
    return encoding == TextEncoding::Utf8 ? utf8LeadBytes : shiftJisLeadBytes;
}

// The index of an encoding in tables that have one entry per encoding.
constexpr std::size_t EncodingIndex(TextEncoding encoding) {
    return encoding == TextEncoding::Utf8 ? 1 : 0;
}

}  // namespace quirtle
