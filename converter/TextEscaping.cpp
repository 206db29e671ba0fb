// Stepping over Shift_JIS characters and escaping the four markup characters.
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
        out.append(cursor, 2);
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
    const char* run = text.data();
    const char* const end = run + text.size();
    for (const char* at = run; at < end; ++at) {
        const auto byte = static_cast<unsigned char>(*at);
        if (byte >= 0x40 || !IsEscaped(byte)) {
            continue;
        }
        out.append(run, at);
        out.append(Entity(byte));
        run = at + 1;
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
