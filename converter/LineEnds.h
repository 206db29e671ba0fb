// Cutting text into lines: CR, LF and CR LF each end one line.
#pragma once

namespace quirtle {

// Where the line that ends at `stop` (the first CR or LF after its start, or `end`) is
// followed by the next: after its terminator. Returns nullptr when the line may go on in
// text not seen yet: it has no terminator, or it ends in a CR that may be the first half
// of a CR LF. With `last` the text ends at `end`, and every line is complete.
inline const char* NextLineStart(const char* stop, const char* end, bool last) {
    if (stop == end) {
        return last ? end : nullptr;
    }
    if (*stop == '\n') {
        return stop + 1;
    }
    if (stop + 1 == end) {
        return last ? end : nullptr;
    }
    return stop[1] == '\n' ? stop + 2 : stop + 1;
}

}  // namespace quirtle
