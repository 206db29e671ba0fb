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

// Decodes the valid UTF-8 character at `at` (before `end`) into `value` and returns its
// length, or returns 0 (and leaves `value` alone) when the bytes there do not start one.
std::size_t DecodeChar(const char* at, const char* end, char32_t& value);

// True when the last character before `stop` is cut off by it: a lead byte whose
// continuation bytes do not all come before `stop`, in text whose other faults have been
// found (the byte at `stop` is taken for ASCII, the bytes before `from` too). Where
// bytes stand right before a cut-off character is the only fault the check at `stop`
// finds (Utf8Check.h).
inline bool EndsInsideChar(const char* from, const char* stop) {
    const auto before = [&](std::ptrdiff_t back) -> unsigned {
        return stop - from >= back ? static_cast<unsigned char>(stop[-back]) : 0U;
    };
    return (before(1) >= 0xC0) | (before(2) >= 0xE0) | (before(3) >= 0xF0);
}

// Appends `text` to `out` with each maximal invalid subpart replaced by U+FFFD.
void AppendRepaired(std::string_view text, std::string& out);

// True when `text` is valid UTF-8.
bool IsValid(std::string_view text);

}  // namespace quirtle::utf8
