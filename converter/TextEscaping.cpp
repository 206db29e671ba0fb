// Stepping over Shift_JIS characters and escaping the four markup characters.
#include <array>
#include <cstring>

#include "DocumentConverter.h"
#include "Entities.h"

namespace quirtle {

namespace {

// Every escaped byte is below 0x40. True when one of the eight bytes of `word` is
// below 0x40, which Shift_JIS text rarely has outside spaces and ASCII punctuation.
// (A byte below 0x40 makes its byte of word - 0x40.. borrow, setting its high bit
// unless the byte itself had it set; the test never misses one.)
constexpr bool HasByteBelow0x40(std::uint64_t word) {
    constexpr std::uint64_t highBits = 0x8080808080808080ULL;
    return ((word - 0x4040404040404040ULL) & ~word & highBits) != 0;
}

}  // namespace

void DocumentConverter::AppendEscapedText(std::string_view text, std::string& out) {
    // The escaped bytes are all below 0x40 and no Shift_JIS second byte is, so a
    // byte-wise replacement never splits a character. The length of the result is
    // counted first, so that the text is written in place with one resize instead of an
    // append for each run and each entity.
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    std::size_t extra = 0;
    const char* at = begin;
    // Eight bytes at a time are passed over when none of them is below 0x40.
    for (; end - at >= 8; at += 8) {
        std::uint64_t word;
        std::memcpy(&word, at, sizeof word);
        if (HasByteBelow0x40(word)) {
            for (int index = 0; index < 8; ++index) {
                extra += entities::extraLength[static_cast<unsigned char>(at[index])];
            }
        }
    }
    for (const char* rest = at; rest < end; ++rest) {
        extra += entities::extraLength[static_cast<unsigned char>(*rest)];
    }
    if (extra == 0) {
        out.append(text);
        return;
    }
    const std::size_t start = out.size();
    out.resize(start + text.size() + extra);
    char* write = out.data() + start;
    for (const char* read = begin; read < end; ++read) {
        const std::string_view entity = entities::Of(*read);
        if (entity.empty()) {
            *write++ = *read;
        } else {
            std::memcpy(write, entity.data(), entity.size());
            write += entity.size();
        }
    }
}

int32_t DocumentConverter::AppendEscapedUntil(const char*& cursor, const char* end, char closer,
                                              std::string& out) {
    // Whole characters are stepped over so that a trail byte is never taken for the
    // closer or a backslash; each run between backslashes is escaped at once.
    const char* run = cursor;
    while (true) {
        if (cursor >= end) {
            return statusFail;
        }
        if (*cursor == closer) {
            break;
        }
        if (*cursor == '\\') {
            AppendEscapedText(std::string_view(run, static_cast<std::size_t>(cursor - run)), out);
            ++cursor;
            run = cursor;
            if (cursor >= end) {
                return statusFail;
            }
        }
        if (AdvanceChar(cursor, end) < 0) {
            return statusFail;
        }
    }
    AppendEscapedText(std::string_view(run, static_cast<std::size_t>(cursor - run)), out);
    return statusOk;
}

std::string DocumentConverter::EscapeText(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    AppendEscapedText(text, escaped);
    return escaped;
}

}  // namespace quirtle
