// Recoding text between encodings for the tests (the converter itself never decodes).
#pragma once

#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

namespace quirtle::testing {

// `text` recoded from the encoding `from` to `to` (iconv names, "CP932", "UTF-8"), or
// nothing when some character cannot be recoded.
inline std::optional<std::string> Recode(std::string_view text, const char* from, const char* to) {
    iconv_t recoder = iconv_open(to, from);
    if (recoder == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string result;
    std::string input(text);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char chunk[4096];
    bool ok = true;
    while (inLeft > 0) {
        char* out = chunk;
        std::size_t outLeft = sizeof chunk;
        const std::size_t done = iconv(recoder, &in, &inLeft, &out, &outLeft);
        result.append(chunk, static_cast<std::size_t>(out - chunk));
        if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
    }
    iconv_close(recoder);
    return ok ? std::optional<std::string>(std::move(result)) : std::nullopt;
}

inline std::optional<std::string> ShiftJisToUtf8(std::string_view text) {
    return Recode(text, "CP932", "UTF-8");
}

inline std::optional<std::string> Utf8ToShiftJis(std::string_view text) {
    return Recode(text, "UTF-8", "CP932");
}

}  // namespace quirtle::testing
