#include "Unicode.h"

namespace quirtle::importer {

std::optional<std::u32string> DecodeUtf8(std::string_view bytes) {
    std::u32string text;
    text.reserve(bytes.size() / 2);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            text.push_back(lead);
            ++p;
            continue;
        }
        int length = 0;
        char32_t value = 0;
        char32_t least = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, value = lead & 0x1F, least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, value = lead & 0x0F, least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, value = lead & 0x07, least = 0x10000;
        } else {
            return std::nullopt;
        }
        if (end - p < length) return std::nullopt;
        for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) return std::nullopt;
            value = (value << 6) | (p[i] & 0x3F);
        }
        if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return std::nullopt;
        }
        text.push_back(value);
        p += length;
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
