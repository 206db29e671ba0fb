// Block heads ("*(class#id) ", "|{name ...} "), element heads and start tags.
#include <array>
#include <limits>

#include "DocumentConverter.h"
#include "Utf8Repair.h"

namespace quirtle {

void DocumentConverter::AppendStartTag(const OpenElement& element, bool withParams,
                                       OutputBuffer& out) {
    out.append("<").append(element.name);
    if (!element.className.empty()) {
        out.append(" class=\"").append(element.className).append("\"");
    }
    if (!element.id.empty()) {
        out.append(" id=\"").append(element.id).append("\"");
    }
    if (withParams) {
        for (std::size_t i = 0; i < element.params.size(); ++i) {
            AppendParamStart(i, TagForm::Markup, out);
            out.append(element.params[i]).append("\"");
        }
    }
    out.append(">");
}

namespace {

// What each byte may be in a name: not allowed, a character of its own, or the first
// byte of a double-byte character.
enum NameByte : unsigned char { notInName, inName, leadsPair };

constexpr std::array<unsigned char, 256> nameBytes = [] {
    std::array<unsigned char, 256> bytes{};
    for (int byte = 0; byte < 256; ++byte) {
        const bool ascii = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '_' || byte == '-' ||
                           byte == '.' || byte == ':';
        if (DocumentConverter::IsLeadByte(static_cast<unsigned char>(byte))) {
            bytes[byte] = leadsPair;
        } else if (ascii || byte >= 0x80) {
            bytes[byte] = inName;  // single-byte kana included
        }
    }
    return bytes;
}();

}  // namespace

bool DocumentConverter::IsWellFormedName(std::string_view name, TextEncoding encoding) {
    if (name.empty()) {
        return false;
    }
    const auto first = static_cast<unsigned char>(name.front());
    if ((first >= '0' && first <= '9') || first == '-' || first == '.') {
        return false;
    }
    const bool utf8 = encoding == TextEncoding::Utf8;
    const char* const end = name.data() + name.size();
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char kind = nameBytes[static_cast<unsigned char>(name[i])];
        if (kind == inName && !(utf8 && static_cast<unsigned char>(name[i]) >= 0x80)) {
            continue;
        }
        if (kind == notInName) {
            return false;
        }
        if (utf8) {
            // A UTF-8 character is accepted whole when it is valid, and not U+FFFD, which
            // stands for invalid bytes.
            const std::size_t length = utf8::ValidCharLength(name.data() + i, end);
            if (length == 0 || name.substr(i, length) == utf8::replacement) {
                return false;
            }
            i += length - 1;
            continue;
        }
        // A double-byte character is accepted whole when its second byte is a valid one
        // (0x40-0x7E or 0x80-0xFC), so a name can never hide a quote or an angle bracket
        // in a broken pair.
        const auto trail = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        if (trail < 0x40 || trail == 0x7F || trail > 0xFC) {
            return false;
        }
        ++i;
    }
    return true;
}

int32_t DocumentConverter::ParseClassAndId(const char*& cursor, const char* end,
                                           OpenElement& element,
                                           std::string_view terminators) const {
    std::string text;
    bool readingId = false;
    while (true) {
        if (cursor >= end) {
            if (!terminators.empty()) {
                return statusFail;  // the group is not closed
            }
            break;
        }
        const char byte = *cursor;
        if (byte == ' ') {
            return statusFail;
        }
        if (IsTerminator(terminators, byte)) {
            break;
        }
        if (byte == '#') {
            if (readingId) {
                return statusFail;
            }
            element.className = std::move(text);
            text.clear();
            ++cursor;
            readingId = true;
            // The character right after "#" always belongs to the id, whatever it is.
            if (AppendEscapedChar(cursor, end, text, *leads) < 0) {
                return statusFail;
            }
            continue;
        }
        if (AppendEscapedChar(cursor, end, text, *leads) < 0) {
            return statusFail;
        }
    }
    if (readingId) {
        element.id = std::move(text);
    } else {
        element.className = std::move(text);
    }
    return statusOk;
}

namespace {

// Bytes that are always part of a name and never end one: ASCII letters, digits, "_", "-"
// and "." (":" may be a terminator).
constexpr std::array<bool, 256> plainNameBytes = [] {
    std::array<bool, 256> bytes{};
    for (int byte = 0; byte < 256; ++byte) {
        bytes[byte] = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                      (byte >= '0' && byte <= '9') || byte == '_' || byte == '-' || byte == '.';
    }
    return bytes;
}();

}  // namespace

int32_t DocumentConverter::ParseName(const char*& cursor, const char* end, std::string_view& name,
                                     std::string_view defaultName,
                                     std::string_view terminators) const {
    auto endsName = [&](const char* at) {
        return at >= end || *at == ' ' || *at == '(' || IsTerminator(terminators, *at);
    };
    if (endsName(cursor)) {
        name = defaultName;
        return statusOk;
    }
    const char* const nameStart = cursor;
    while (cursor < end && plainNameBytes[static_cast<unsigned char>(*cursor)]) {
        ++cursor;
    }
    if (endsName(cursor)) {
        // ASCII letters, digits, "_", "-" and ".": well-formed unless it starts wrongly.
        name = std::string_view(nameStart, static_cast<std::size_t>(cursor - nameStart));
        const char first = *nameStart;
        return (first >= '0' && first <= '9') || first == '-' || first == '.' ? statusFail
                                                                              : statusOk;
    }
    while (!endsName(cursor)) {
        if (AdvanceChar(cursor, end, *leads) < 0) {
            return statusFail;
        }
    }
    name = std::string_view(nameStart, static_cast<std::size_t>(cursor - nameStart));
    // A name that is not well-formed would be written raw into the output.
    return IsWellFormedName(name, encoding) ? statusOk : statusFail;
}

int32_t DocumentConverter::ParseNameAndClass(const char*& cursor, const char* end,
                                             OpenElement& element, std::string_view defaultName,
                                             std::string_view terminators) const {
    std::string_view name;
    if (ParseName(cursor, end, name, defaultName, terminators) < 0) {
        return statusFail;
    }
    element.name.assign(name);

    // The class-and-id group.
    if (cursor < end && *cursor == '(') {
        ++cursor;
        if (ParseClassAndId(cursor, end, element, ")") < 0) {
            return statusFail;
        }
        ++cursor;  // the ")"
    }
    SkipSpaces(cursor, end);
    return statusOk;
}

template <typename Take>
int32_t DocumentConverter::ParseParams(const char*& cursor, const char* end,
                                       std::string_view terminators, std::string& value,
                                       const LeadBytes& leads, Take&& take) {
    // Parameters, separated by spaces; quoted ones may hold spaces and terminators.
    while (cursor < end && !IsTerminator(terminators, *cursor)) {
        value.clear();
        if (*cursor == '"') {
            ++cursor;
            if (AppendEscapedUntil(cursor, end, '"', value, leads) < 0) {
                return statusFail;  // no closing quote
            }
            ++cursor;  // the closing quote
        } else {
            while (cursor < end && *cursor != ' ' && !IsTerminator(terminators, *cursor)) {
                if (AppendEscapedChar(cursor, end, value, leads) < 0) {
                    return statusFail;
                }
            }
        }
        take(value);
        SkipSpaces(cursor, end);
    }
    return statusOk;
}

int32_t DocumentConverter::ParseElementHead(const char*& cursor, const char* end,
                                            OpenElement& element, std::string_view defaultName,
                                            std::string_view terminators) const {
    if (ParseNameAndClass(cursor, end, element, defaultName, terminators) < 0) {
        return statusFail;
    }
    std::string value;
    return ParseParams(cursor, end, terminators, value, *leads,
                       [&](const std::string& taken) { element.params.push_back(taken); });
}

int32_t DocumentConverter::ParseBlockMarker(const char*& cursor, const char* end,
                                            OpenElement& element) {
    if (cursor >= end) {
        return statusFail;
    }
    const char marker = *cursor;
    while (cursor < end && *cursor == marker) {
        ++cursor;
        if (element.level < std::numeric_limits<int32_t>::max()) {
            ++element.level;
        }
    }

    if (marker == '|') {
        if (cursor < end && *cursor == '{') {
            ++cursor;
            if (cursor >= end) {
                return statusFail;
            }
            if (ParseElementHead(cursor, end, element, "div", "}") < 0) {
                return statusFail;
            }
            if (cursor >= end) {
                return statusFail;  // no "}"
            }
            ++cursor;
            if (cursor >= end) {
                return statusFail;  // nothing after "}"
            }
            lastDivisionName = element.name;
        } else {
            element.name = lastDivisionName.empty() ? std::string("div") : lastDivisionName;
        }
    } else {
        switch (marker) {
            case '*':
                element.name = spell->section;
                break;
            case '-':
                element.name = spell->list;
                break;
            case '>':
                element.name = "blockquote";
                break;
            case '!':
                element.name = spell->definitionList;
                break;
            default:
                return statusFail;
        }
        if (cursor < end && *cursor == '(') {
            ++cursor;
            if (cursor >= end) {
                return statusFail;
            }
            if (ParseClassAndId(cursor, end, element, ")") < 0) {
                return statusFail;
            }
            ++cursor;  // the ")"
        }
    }

    if (cursor >= end) {
        return statusOk;
    }
    if (*cursor == ' ') {
        ++cursor;  // exactly one space; further spaces belong to the content
        return statusOk;
    }
    return statusNoSpaceAfterMarker;
}

void DocumentConverter::BuildBlockStartTag(const OpenElement& element, std::string& out) const {
    out.clear();
    OutputBuffer tag(out);
    AppendStartTag(element, spell->blockParams, tag);
    tag.Finish();
}

void DocumentConverter::BuildCommandStartTag(const OpenElement& element, std::string& out) {
    out.clear();
    OutputBuffer tag(out);
    AppendStartTag(element, true, tag);
    tag.Finish();
}

}  // namespace quirtle
