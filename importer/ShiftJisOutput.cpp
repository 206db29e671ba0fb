#include "ShiftJisOutput.h"

#include "Iconv.h"
#include "Unicode.h"

namespace quirtle::importer {

namespace {

// The first character of `text` that does not survive CP932 and back.
ShiftJisResult FirstUnheld(std::u32string_view text) {
    Iconv encoder("CP932", "UTF-8");
    Iconv decoder("UTF-8", "CP932");
    ShiftJisResult result;
    int line = 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c == U'\n' || (c == U'\r' && (i + 1 >= text.size() || text[i + 1] != U'\n'))) {
            ++line;
        }
        if (c < 0x80) continue;
        std::string utf8;
        AppendUtf8(utf8, c);
        std::string bytes;
        std::string back;
        std::size_t failedAt = 0;
        if (!encoder.Convert(utf8, bytes, failedAt) || !decoder.Convert(bytes, back, failedAt) ||
            back != utf8) {
            result.character = c;
            result.line = line;
            return result;
        }
    }
    return result;
}

}  // namespace

ShiftJisResult EncodeShiftJis(std::string_view utf8) {
    ShiftJisResult result;
    Iconv encoder("CP932", "UTF-8");
    Iconv decoder("UTF-8", "CP932");
    std::size_t failedAt = 0;
    std::string back;
    if (encoder.Convert(utf8, result.bytes, failedAt) &&
        decoder.Convert(result.bytes, back, failedAt) && back == utf8) {
        result.ok = true;
        return result;
    }
    const std::optional<std::u32string> text = DecodeUtf8(utf8);
    result = FirstUnheld(text ? std::u32string_view(*text) : std::u32string_view());
    return result;
}

}  // namespace quirtle::importer
