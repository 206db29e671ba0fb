// Cutting text into lines: CR, LF and CR LF each end one line.
#pragma once

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quirtle {

// The first CR or LF in [cursor, end), or `end`. Sixteen bytes are compared at a time.
inline const char* FindLineEnd(const char* cursor, const char* end) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (end - cursor >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cursor));
        const int mask =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)));
        if (mask != 0) {
            return cursor + __builtin_ctz(static_cast<unsigned>(mask));
        }
        cursor += 16;
    }
#endif
    while (cursor < end && *cursor != '\r' && *cursor != '\n') {
        ++cursor;
    }
    return cursor;
}

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

// Cuts the line that starts at `cursor` (before `end`): sets `lineEnd` to the end of its
// text and returns where the next line starts, or nullptr as NextLineStart does.
inline const char* CutLine(const char* cursor, const char* end, bool last, const char*& lineEnd) {
    lineEnd = FindLineEnd(cursor, end);
    return NextLineStart(lineEnd, end, last);
}

}  // namespace quirtle
