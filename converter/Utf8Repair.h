// Invalid UTF-8 in a manuscript read as UTF-8.
//
// A line that holds an invalid sequence (a stray continuation byte, a truncated sequence,
// an overlong form, a surrogate, a code point above U+10FFFF, or a byte that never occurs
// in UTF-8) is read with each maximal invalid subpart replaced by U+FFFD, the way a web
// browser decodes it: "\xE3\x81" before an ASCII byte is one U+FFFD, "\xE0\x80" two. The
// output is then always valid UTF-8, no invalid byte can stand for markup, and an element
// name that held one holds U+FFFD, which names never accept.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quirtle::utf8 {

// The UTF-8 of U+FFFD.
inline constexpr std::string_view replacement = "\xEF\xBF\xBD";

// The length of the valid UTF-8 character at `at` (which is before `end`), or 0 when the
// bytes there do not start one.
std::size_t ValidCharLength(const char* at, const char* end);

// True when the last character of [start, stop) is cut off by `stop`: a lead byte whose
// continuation bytes do not all come before it.
inline bool EndsInsideChar(const char* start, const char* stop) {
    const char* at = stop;
    int continuations = 0;
    while (at > start && continuations < 3 && (static_cast<unsigned char>(at[-1]) & 0xC0) == 0x80) {
        --at;
        ++continuations;
    }
    if (at == start) {
        return false;
    }
    const auto lead = static_cast<unsigned char>(at[-1]);
    if (lead < 0xC0) {
        return false;  // ASCII, or continuation bytes no lead byte claims (found elsewhere)
    }
    const int needed = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    return continuations < needed;
}

// Appends `text` to `out` with each maximal invalid subpart replaced by U+FFFD.
void AppendRepaired(std::string_view text, std::string& out);

// True when `text` is valid UTF-8.
bool IsValid(std::string_view text);

}  // namespace quirtle::utf8
