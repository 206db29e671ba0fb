#include "SourceText.h"

#include <algorithm>

#include "Iconv.h"
#include "Unicode.h"

namespace quirtle::importer {

std::optional<DecodedSource> DecodeSource(std::string_view bytes, int* badLine) {
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    const bool hasBom = bytes.substr(0, 3) == bom;
    if (std::optional<std::u32string> utf8 = DecodeUtf8(hasBom ? bytes.substr(3) : bytes)) {
        return DecodedSource{std::move(*utf8), SourceEncoding::Utf8};
    }
    if (!hasBom) {
        Iconv toUtf8("UTF-8", "CP932");
        std::string converted;
        std::size_t failedAt = 0;
        if (toUtf8.Convert(bytes, converted, failedAt)) {
            if (std::optional<std::u32string> text = DecodeUtf8(converted)) {
                return DecodedSource{std::move(*text), SourceEncoding::ShiftJis};
            }
        } else if (badLine != nullptr) {
            const std::string_view before = bytes.substr(0, failedAt);
            int line = 1;
            for (std::size_t i = 0; i < before.size(); ++i) {
                if (before[i] == '\n' ||
                    (before[i] == '\r' && (i + 1 >= before.size() || before[i + 1] != '\n'))) {
                    ++line;
                }
            }
            *badLine = line;
        }
    }
    return std::nullopt;
}

std::vector<std::u32string_view> SplitLines(std::u32string_view text) {
    std::vector<std::u32string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != U'\r' && text[i] != U'\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

}  // namespace quirtle::importer
