#include "vertical/TypedLineAligner.h"

#include "Utf8Repair.h"

namespace quirtle::vertical {

std::pair<int, int> TypedLineAligner::Find(char32_t code) {
    if (misses < kMaxMisses) {
        std::size_t at = byte;
        int units = unit;
        while (at < line.size()) {
            char32_t found = 0;
            const std::size_t length = Decode(at, found);
            if (found == code) {
                byte = at + length;
                unit = units + Units(found);
                return {units, Units(found)};
            }
            at += length;
            units += Units(found);
        }
        ++misses;
    }
    return {unit, 0};
}

void TypedLineAligner::SkipPast(char marker) {
    if (line.find(marker, byte) == std::string_view::npos) return;
    while (byte < line.size() && line[byte] != marker) Step();
    Step();
}

void TypedLineAligner::SkipReading() {
    if (line.find('[', byte) == std::string_view::npos) return;
    while (byte < line.size() && line[byte] != '[') Step();
    Step();
    while (byte < line.size() && line[byte] != ']') {
        if (line[byte] == '\\') Step();
        Step();
    }
    Step();
}

void TypedLineAligner::SkipHead() {
    if (line.find('{', byte) == std::string_view::npos) return;
    while (byte < line.size() && line[byte] != '{') Step();
    bool quoted = false;
    while (byte < line.size() && (quoted || line[byte] != '}')) {
        if (line[byte] == '"') quoted = !quoted;
        Step();
    }
    Step();
}

std::size_t TypedLineAligner::Decode(std::size_t at, char32_t& code) const {
    const std::size_t length = utf8::DecodeChar(line.data() + at, line.data() + line.size(), code);
    if (length == 0) {
        code = 0xFFFD;
        return 1;
    }
    return length;
}

void TypedLineAligner::Step() {
    if (byte >= line.size()) return;
    char32_t code = 0;
    byte += Decode(byte, code);
    unit += Units(code);
}

// The decoded value of an entity the converter writes ("&amp;", "&#x2014;", ...).
char32_t EntityValue(std::string_view entity) {
    if (entity == "&amp;") return U'&';
    if (entity == "&lt;") return U'<';
    if (entity == "&gt;") return U'>';
    if (entity == "&quot;") return U'"';
    if (entity == "&apos;") return U'\'';
    if (entity.size() > 3 && entity[1] == '#') {
        const bool hex = entity[2] == 'x' || entity[2] == 'X';
        char32_t value = 0;
        for (std::size_t i = hex ? 3 : 2; i < entity.size() && entity[i] != ';'; ++i) {
            const char c = entity[i];
            const int digit = c >= '0' && c <= '9'          ? c - '0'
                              : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                            : -1;
            if (digit < 0 || value > 0x10FFFF) return 0xFFFD;
            value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
        }
        return value <= 0x10FFFF ? value : 0xFFFD;
    }
    return 0xFFFD;
}

// The value of attribute param0 of a start tag, entities read.
QString ParamZero(std::string_view tag) {
    constexpr std::string_view name = " param0=\"";
    const std::size_t at = tag.find(name);
    if (at == std::string_view::npos) return {};
    const std::size_t from = at + name.size();
    const std::size_t to = tag.find('"', from);
    const std::string_view value = tag.substr(from, to == std::string_view::npos ? to : to - from);
    QString text;
    for (std::size_t i = 0; i < value.size();) {
        if (value[i] == '&') {
            const std::size_t semicolon = value.find(';', i);
            const std::size_t end =
                semicolon == std::string_view::npos ? value.size() : semicolon + 1;
            const char32_t code = EntityValue(value.substr(i, end - i));
            text += QString::fromUcs4(&code, 1);
            i = end;
        } else {
            const std::size_t next = value.find('&', i);
            const std::size_t end = next == std::string_view::npos ? value.size() : next;
            text += QString::fromUtf8(value.data() + i, static_cast<qsizetype>(end - i));
            i = end;
        }
    }
    return text;
}

}  // namespace quirtle::vertical
