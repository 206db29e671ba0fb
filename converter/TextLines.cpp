#include "TextLines.h"

#include <cstring>
#include <utility>

namespace quirtle {

void TextLines::Clear() {
    text.clear();
    spans.clear();
}

void TextLines::Assign(std::string newText) {
    spans.clear();
    text = std::move(newText);
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* lineStart = begin;
    const char* cursor = begin;
    // The next CR and LF positions are searched once each and kept until the scan
    // passes them, so text made only of one kind of terminator stays linear.
    const char* nextLf = nullptr;
    const char* nextCr = nullptr;
    auto find = [end](const char* from, char byte) {
        const void* found = std::memchr(from, byte, static_cast<std::size_t>(end - from));
        return found ? static_cast<const char*>(found) : end;
    };
    while (cursor < end) {
        if (nextLf == nullptr || nextLf < cursor) {
            nextLf = find(cursor, '\n');
        }
        if (nextCr == nullptr || nextCr < cursor) {
            nextCr = find(cursor, '\r');
        }
        const char* stop = nextLf < nextCr ? nextLf : nextCr;
        if (stop == end) {
            break;
        }
        spans.push_back({static_cast<std::size_t>(lineStart - begin),
                         static_cast<std::size_t>(stop - lineStart)});
        cursor = stop + 1;
        if (*stop == '\r' && cursor < end && *cursor == '\n') {
            ++cursor;
        }
        lineStart = cursor;
    }
    if (lineStart < end) {
        spans.push_back({static_cast<std::size_t>(lineStart - begin),
                         static_cast<std::size_t>(end - lineStart)});
    }
}

}  // namespace quirtle
