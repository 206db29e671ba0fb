#pragma once

#include <QList>
#include <QString>
#include <QStringView>
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
    std::string bytes;                            // CP932, line breaks as CR LF
    std::optional<Unencodable> firstUnencodable;  // set when something was replaced by '?'
};

// Converts the editor's Unicode text ('\n', U+2029 or CR LF line breaks) into CP932 bytes
// with CR LF line breaks. Characters CP932 cannot hold become '?', and the first one is
// reported so that callers writing files can warn before anything is lost.
EncodedText EncodeShiftJis(QStringView text);

// Converts CP932 bytes into Unicode text with '\n' line breaks; CR LF, CR and LF each end
// one line. Returns nothing when the bytes are not valid CP932.
std::optional<QString> DecodeShiftJis(std::string_view bytes);

// Makes every CR LF and lone CR of the text a '\n', in place.
void UnifyLineBreaks(QString& text);

// Converts the editor's text into another character set (an iconv name such as "UTF-8" or
// "EUC-JP"), CR LF line breaks, in the same way: characters the set cannot hold become '?'
// and the first one is reported.
EncodedText EncodeText(const char* charset, QStringView text);

// Converts CP932 bytes into UTF-8 as they are (line breaks untouched). Nothing when the bytes
// are not valid CP932.
std::optional<std::string> ShiftJisToUtf8(std::string_view bytes);

// True when the bytes are well-formed UTF-8 holding at least one non-ASCII character (or
// start with the UTF-8 byte-order mark).
bool LooksLikeUtf8(std::string_view bytes);

// Converts bytes of the character set into UTF-16 as they are (line breaks untouched).
// Nothing when the bytes are not valid in it or the set is unknown.
std::optional<std::u16string> ConvertToUtf16(const char* charset, std::string_view bytes);

}  // namespace quirtle::text
