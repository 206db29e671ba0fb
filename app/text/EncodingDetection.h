#pragma once

#include <QString>
#include <optional>
#include <string_view>

namespace quirtle::text {

// The encodings a text file may come in.
enum class TextEncoding { ShiftJis, Utf8, Utf8WithBom, Utf16LE, Utf16BE, EucJp, Other };

struct DecodedText {
    TextEncoding encoding = TextEncoding::ShiftJis;
    QString text;  // '\n' line breaks, no byte-order mark
};

// Decides a text's encoding and decodes it, by one rule:
// - a byte-order mark (UTF-8, UTF-16 LE or BE) decides;
// - bytes valid in only one of CP932, UTF-8 and EUC-JP are in that one;
// - bytes valid in several go to the character-set detector, and Shift_JIS wins unless
//   the detector names another candidate clearly: the detector must name it, and that
//   reading must be text Shift_JIS could hold (short Shift_JIS of ASCII and half-width
//   kana is also valid UTF-8, but reads as Latin letters there);
// - when none of them fits, `fallbackCharset` (an iconv name, e.g. the locale's), if given.
// Nothing when no encoding explains the bytes.
std::optional<DecodedText> DecodeAnyText(std::string_view bytes,
                                         const char* fallbackCharset = nullptr);

// How the encoding is named to the user ("UTF-8", "EUC-JP", ...).
QString EncodingName(TextEncoding encoding);

}  // namespace quirtle::text
