// Stepping over Shift_JIS characters and escaping the four markup characters.
#include <cstring>

#include "DocumentConverter.h"

namespace quirtle {

namespace {

// The replacement of an escaped byte, or an empty view when the byte stays as it is.
constexpr std::string_view Entity(unsigned char byte) {
    switch (byte) {
        case '&':
            return "&amp;";
        case '<':
            return "&lt;";
        case '>':
            return "&gt;";
        case '"':
            return "&quot;";
        default:
            return {};
    }
}

constexpr bool IsEscaped(unsigned char byte) {
    return byte == '&' || byte == '<' || byte == '>' || byte == '"';
}

// True when one of the eight bytes of `word` is escaped (a byte equal to v is a zero
// byte of word ^ (v in every byte); the test for a zero byte never misses one).
constexpr bool HasEscapedByte(std::uint64_t word) {
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    constexpr std::uint64_t highBits = 0x8080808080808080ULL;
    auto hasZeroByte = [](std::uint64_t v) { return (v - ones) & ~v & highBits; };
    return (hasZeroByte(word ^ (ones * '&')) | hasZeroByte(word ^ (ones * '<')) |
            hasZeroByte(word ^ (ones * '>')) | hasZeroByte(word ^ (ones * '"'))) != 0;
}

}  // namespace

int32_t DocumentConverter::AdvanceChar(const char*& cursor, const char* end) {
    if (cursor >= end) {
        return statusFail;
    }
    if (IsLeadByte(static_cast<unsigned char>(*cursor))) {
        ++cursor;
        if (cursor == end) {
            return statusFail;
        }
    }
    ++cursor;
    return statusOk;
}

int32_t DocumentConverter::AppendEscapedChar(const char*& cursor, const char* end,
                                             std::string& out) {
    if (cursor >= end) {
        return statusFail;
    }
    const auto byte = static_cast<unsigned char>(*cursor);
    if (IsLeadByte(byte)) {
        if (cursor + 1 == end) {
            cursor = end;
            return statusFail;
        }
        // A valid second byte is never one of the escaped bytes; a broken pair whose
        // second byte is one is still escaped, so no input can put a raw "<", "&" or
        // quote into the output.
        out.push_back(*cursor);
        const std::string_view secondEntity = Entity(static_cast<unsigned char>(cursor[1]));
        if (secondEntity.empty()) {
            out.push_back(cursor[1]);
        } else {
            out.append(secondEntity);
        }
        cursor += 2;
        return statusOk;
    }
    const std::string_view entity = Entity(byte);
    if (entity.empty()) {
        out.push_back(static_cast<char>(byte));
    } else {
        out.append(entity);
    }
    ++cursor;
    return statusOk;
}

void DocumentConverter::AppendEscapedText(std::string_view text, std::string& out) {
    // Copy runs of plain bytes whole; the escaped bytes are all below 0x40 and no
    // Shift_JIS trail byte is, so a byte-wise replacement never splits a character.
    // Eight bytes at a time are checked for any of the four bytes at once.
    const char* run = text.data();
    const char* const end = run + text.size();
    const char* at = run;
    while (at < end) {
        if (end - at >= 8) {
            std::uint64_t word;
            std::memcpy(&word, at, sizeof word);
            if (!HasEscapedByte(word)) {
                at += 8;
                continue;
            }
        }
        const auto byte = static_cast<unsigned char>(*at);
        if (byte < 0x40 && IsEscaped(byte)) {
            out.append(run, at);
            out.append(Entity(byte));
            run = at + 1;
        }
        ++at;
    }
    out.append(run, end);
}

std::string DocumentConverter::EscapeText(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    AppendEscapedText(text, escaped);
    return escaped;
}

}  // namespace quirtle
