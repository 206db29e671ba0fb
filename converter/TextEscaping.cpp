// Stepping over characters and escaping the four markup characters.
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

template <typename Out>
void DocumentConverter::AppendEscapedText(std::string_view text, Out& out) {
    // Copy runs of plain bytes whole; the escaped bytes are all below 0x40 and no
    // Shift_JIS second byte is (no byte of a multibyte UTF-8 character is below 0x80), so
    // a byte-wise replacement never splits a character.
    // Eight bytes at a time are skipped when none of them is below 0x40; the bytes of
    // any other word are looked up one by one.
    const char* run = text.data();
    const char* const end = run + text.size();
    const char* at = run;
    while (end - at >= 8) {
        std::uint64_t word;
        std::memcpy(&word, at, sizeof word);
        if (HasByteBelow0x40(word)) {
            for (const char* const wordEnd = at + 8; at < wordEnd; ++at) {
                if (entities::IsEscaped(*at)) {
                    out.append(std::string_view(run, static_cast<std::size_t>(at - run)));
                    out.append(entities::Of(*at));
                    run = at + 1;
                }
            }
        } else {
            at += 8;
        }
    }
    for (; at < end; ++at) {
        if (entities::IsEscaped(*at)) {
            out.append(std::string_view(run, static_cast<std::size_t>(at - run)));
            out.append(entities::Of(*at));
            run = at + 1;
        }
    }
    out.append(std::string_view(run, static_cast<std::size_t>(end - run)));
}

template <typename Out>
int32_t DocumentConverter::AppendEscapedUntil(const char*& cursor, const char* end, char closer,
                                              Out& out, const LeadBytes& leads) {
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
        if (AdvanceChar(cursor, end, leads) < 0) {
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

// The two outputs the escaping writes to: the converter's buffer and plain strings.
template void DocumentConverter::AppendEscapedText(std::string_view, std::string&);
template void DocumentConverter::AppendEscapedText(std::string_view, OutputBuffer&);
template int32_t DocumentConverter::AppendEscapedUntil(const char*&, const char*, char,
                                                       std::string&, const LeadBytes&);
template int32_t DocumentConverter::AppendEscapedUntil(const char*&, const char*, char,
                                                       OutputBuffer&, const LeadBytes&);

}  // namespace quirtle
