// The manuscript in Shift_JIS (CP932), refusing characters it cannot hold.
#pragma once

#include <string>
#include <string_view>

namespace quirtle::importer {

struct ShiftJisResult {
    std::string bytes;  // the whole text in CP932 when `ok`
    bool ok = false;
    char32_t character = 0;  // otherwise the first character CP932 cannot hold
    int line = 0;            // and its 1-based line
};

// Converts UTF-8 text to CP932. A character counts as held only when it comes back as
// itself: CP932 writes "¥" as the byte of "\" and "—" as "―", which would change the text
// (a "\" would even escape the next character in the manuscript).
ShiftJisResult EncodeShiftJis(std::string_view utf8);

}  // namespace quirtle::importer
