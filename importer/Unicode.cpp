#include "Unicode.h"

#include "Utf8Repair.h"

namespace quirtle::importer {

std::optional<std::u32string> DecodeUtf8(std::string_view bytes) {
    std::u32string text;
    text.reserve(bytes.size() / 2);
    const char* at = bytes.data();
    const char* const end = at + bytes.size();
    while (at < end) {
        char32_t value = 0;
        const std::size_t length = utf8::DecodeChar(at, end, value);
        if (length == 0) return std::nullopt;
        text.push_back(value);
        at += length;
    }
    return text;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string EncodeUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (char32_t c : text) AppendUtf8(out, c);
    return out;
}

bool IsKanji(char32_t c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF) ||
           (c >= 0x2E80 && c <= 0x2FDF) ||  // radicals
           c == U'々' || c == U'〆' || c == U'〇' || c == U'ヶ' || c == U'〻' || c == U'ヵ';
}

bool IsKana(char32_t c) {
    return (c >= 0x3041 && c <= 0x309F) || (c >= 0x30A0 && c <= 0x30FF) ||
           (c >= 0x31F0 && c <= 0x31FF) || (c >= 0xFF66 && c <= 0xFF9F);
}

unsigned KindsOf(char32_t c) {
    if (c == U'ー') return kHiragana | kKatakana;
    if (IsKanji(c)) return kKanji;
    if (c >= 0x3041 && c <= 0x309F) return kHiragana;
    if ((c >= 0x30A0 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF) ||
        (c >= 0xFF66 && c <= 0xFF9F)) {
        return kKatakana;
    }
    if ((c >= U'０' && c <= U'９') || (c >= U'Ａ' && c <= U'Ｚ') || (c >= U'ａ' && c <= U'ｚ')) {
        return kFullWidthAlnum;
    }
    if ((c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z')) {
        return kHalfWidthAlnum;
    }
    if (c >= 0x0370 && c <= 0x03FF) return kGreek;
    if (c >= 0x0400 && c <= 0x04FF) return kCyrillic;
    return 0;
}

bool IsLineSpace(char32_t c) {
    return c == U' ' || c == U'\t' || c == U'\u3000';
}

}  // namespace quirtle::importer
