#pragma once

#include <QStringView>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quirtle::text {

// Writes what stands in the output for a character Shift_JIS cannot hold, found at byte
// `offset` of the UTF-8 input; returns false to stop the conversion there.
using UnencodableWriter =
    std::function<bool(char32_t character, std::size_t offset, std::string& out)>;

// True when Shift_JIS (CP932) holds the character so that it reads back as itself. The
// yen sign and the overline do not count: CP932 writes them as 0x5C and 0x7E, which read
// back as the backslash (the markup's escape) and the tilde.
bool ShiftJisHolds(char32_t character);

// Appends the UTF-8 bytes to `out` in CP932, every character CP932 cannot hold handed to
// `writer`. False when the writer stopped the conversion. Bytes that are not UTF-8 count
// as U+FFFD, one a byte.
bool Utf8ToShiftJis(std::string_view utf8, std::string& out, const UnencodableWriter& writer);

// The editor's text ('\n', U+2029 or CR LF line breaks) as UTF-8 with CR LF line breaks.
std::string Utf8WithCrLf(QStringView text);

// The text as UTF-8, as it is (line breaks untouched).
std::string ToUtf8(QStringView text);

// UTF-8 bytes as text with '\n' line breaks (CR LF and lone CR become '\n'). Nothing when
// the bytes are not UTF-8.
std::optional<QString> FromUtf8WithLf(std::string_view bytes);

// The 1-based line of a byte offset of a text with CR LF or LF line breaks.
int LineAt(std::string_view text, std::size_t offset);

}  // namespace quirtle::text
