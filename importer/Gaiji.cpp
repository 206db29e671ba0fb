#include "Gaiji.h"

#include <vector>

#include "Iconv.h"
#include "Unicode.h"

namespace quirtle::importer {

namespace {

std::u32string_view Trim(std::u32string_view text) {
    while (!text.empty() && IsLineSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsLineSpace(text.back())) text.remove_suffix(1);
    return text;
}

bool StartsWith(std::u32string_view text, std::u32string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::optional<std::u32string> FromPlaneRowCell(std::u32string_view part) {
    for (std::u32string_view level : {U"第3水準", U"第4水準", U"第３水準", U"第４水準"}) {
        if (StartsWith(part, level)) part.remove_prefix(level.size());
    }
    std::vector<int> numbers;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= part.size(); ++i) {
        if (i < part.size() && part[i] != U'-' && part[i] != U'－') continue;
        const std::optional<int> number = ParseNumber(part.substr(start, i - start));
        if (!number) return std::nullopt;
        numbers.push_back(*number);
        start = i + 1;
    }
    if (numbers.size() != 3) return std::nullopt;
    return JisX0213Character(numbers[0], numbers[1], numbers[2]);
}

std::optional<std::u32string> FromCodePoint(std::u32string_view part) {
    if (!StartsWith(part, U"U+") && !StartsWith(part, U"u+")) return std::nullopt;
    part.remove_prefix(2);
    if (part.empty() || part.size() > 6) return std::nullopt;
    char32_t value = 0;
    for (char32_t c : part) {
        int digit = -1;
        if (c >= U'0' && c <= U'9') digit = static_cast<int>(c - U'0');
        if (c >= U'A' && c <= U'F') digit = static_cast<int>(c - U'A') + 10;
        if (c >= U'a' && c <= U'f') digit = static_cast<int>(c - U'a') + 10;
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<char32_t>(digit);
    }
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return std::nullopt;
    }
    return std::u32string(1, value);
}

}  // namespace

std::optional<int> ParseNumber(std::u32string_view digits) {
    if (digits.empty() || digits.size() > 6) return std::nullopt;
    int value = 0;
    for (char32_t c : digits) {
        if (c >= U'0' && c <= U'9') {
            value = value * 10 + static_cast<int>(c - U'0');
        } else if (c >= U'０' && c <= U'９') {
            value = value * 10 + static_cast<int>(c - U'０');
        } else {
            return std::nullopt;
        }
    }
    return value;
}

std::optional<std::u32string> JisX0213Character(int plane, int row, int cell) {
    if ((plane != 1 && plane != 2) || row < 1 || row > 94 || cell < 1 || cell > 94) {
        return std::nullopt;
    }
    std::string bytes;
    if (plane == 2) bytes.push_back(static_cast<char>(0x8F));
    bytes.push_back(static_cast<char>(0xA0 + row));
    bytes.push_back(static_cast<char>(0xA0 + cell));
    Iconv decoder("UTF-8", "EUC-JISX0213");
    std::string utf8;
    std::size_t failedAt = 0;
    if (!decoder.Convert(bytes, utf8, failedAt)) return std::nullopt;
    std::optional<std::u32string> text = DecodeUtf8(utf8);
    if (!text || text->empty()) return std::nullopt;
    return text;
}

std::optional<std::u32string> GaijiCharacter(std::u32string_view annotation) {
    // The parts after the description, last first: the description itself may hold "、".
    std::size_t end = annotation.size();
    while (true) {
        const std::size_t comma = annotation.rfind(U'、', end == 0 ? 0 : end - 1);
        if (comma == std::u32string_view::npos || end == 0) return std::nullopt;
        const std::u32string_view part = Trim(annotation.substr(comma + 1, end - comma - 1));
        if (std::optional<std::u32string> found = FromCodePoint(part)) return found;
        if (std::optional<std::u32string> found = FromPlaneRowCell(part)) return found;
        end = comma;
    }
}

}  // namespace quirtle::importer
