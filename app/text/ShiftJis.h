#pragma once

#include <QString>
#include <QStringView>
#include <QList>
#include <optional>
#include <string>
#include <string_view>

namespace quirtle::text {

// A character of the editor's text that Shift_JIS (CP932) has no code for.
struct Unencodable {
    char32_t character = 0;
    int line = 0;  // 1-based line of the editor's text
};

struct EncodedText {
    std::string bytes;                           // CP932, line breaks as CR LF
    std::optional<Unencodable> firstUnencodable;  // set when something was replaced by '?'
};

// Converts the editor's Unicode text ('\n', U+2029 or CR LF line breaks) into CP932 bytes
// with CR LF line breaks. Characters CP932 cannot hold become '?', and the first one is
// reported so that callers writing files can warn before anything is lost.
EncodedText EncodeShiftJis(QStringView text);

// Converts CP932 bytes into Unicode text with '\n' line breaks; CR LF, CR and LF each end
// one line. Returns nothing when the bytes are not valid CP932.
std::optional<QString> DecodeShiftJis(std::string_view bytes);

// True when the bytes are well-formed UTF-8 holding at least one non-ASCII character (or
// start with the UTF-8 byte-order mark): such a file is almost never Shift_JIS text, even
// where its bytes happen to form valid CP932 pairs.
bool LooksLikeUtf8(std::string_view bytes);

}  // namespace quirtle::text
