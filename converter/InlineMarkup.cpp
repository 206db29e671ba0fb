// Inline markup: ruby "_base[reading]", emphasis "_text*", inline commands
// "_body{name(class#id) params}", and backslash escapes.
//
// Converting a body into a string of its own and wrapping it afterwards would copy
// every byte once per level of nesting. Instead a first scan matches every "_" with
// the closer that ends its body (checking the whole line, so it may fail), and a
// second pass writes the output straight into `out`, emitting each element's opening
// at its "_" and its closing at its closer. Both passes are linear in the line.
#include <array>
#include <cstring>

#include "DocumentConverter.h"

namespace quirtle {

struct DocumentConverter::InlineElement {
    char closerByte = 0;           // '[' ruby, '*' emphasis, '{' inline command
    const char* closer = nullptr;  // where the body ends
    const char* after = nullptr;   // first byte after the whole element
    std::string reading;           // ruby reading, escaped
    std::string startTag;          // inline command start tag
    std::string name;              // inline command name
};

namespace {

enum CharClass : unsigned char { plainByte = 0, leadByte = 1, specialByte = 2 };

// Bytes the fast copy loop must stop at: lead bytes, the escaped characters, "_" and
// the backslash.
constexpr std::array<unsigned char, 256> MakeCharClasses() {
    std::array<unsigned char, 256> classes{};
    for (int byte = 0; byte < 256; ++byte) {
        if (DocumentConverter::IsLeadByte(static_cast<unsigned char>(byte))) {
            classes[byte] = leadByte;
        }
    }
    for (unsigned char byte : {'&', '<', '>', '"', '_', '\\'}) {
        classes[byte] = specialByte;
    }
    return classes;
}

constexpr std::array<unsigned char, 256> charClasses = MakeCharClasses();

// The matching scan also stops at the three closers.
constexpr std::array<unsigned char, 256> MakeMatchClasses() {
    std::array<unsigned char, 256> classes = MakeCharClasses();
    for (unsigned char byte : {'&', '<', '>', '"'}) {
        classes[byte] = plainByte;
    }
    for (unsigned char byte : {'[', '*', '{'}) {
        classes[byte] = specialByte;
    }
    return classes;
}

constexpr std::array<unsigned char, 256> matchClasses = MakeMatchClasses();

// The class table for one scan: `base`, with the terminator bytes made special.
const unsigned char* ClassesFor(const std::array<unsigned char, 256>& base,
                                std::string_view terminators,
                                std::array<unsigned char, 256>& storage) {
    if (terminators.empty()) {
        return base.data();
    }
    storage = base;
    for (char byte : terminators) {
        storage[static_cast<unsigned char>(byte)] = specialByte;
    }
    return storage.data();
}

bool IsTerminator(std::string_view terminators, char byte) {
    return !terminators.empty() && terminators.find(byte) != std::string_view::npos;
}

// Steps over ordinary characters until a special byte, `limit`, or a truncated
// double-byte character (left under the cursor for the caller to reject).
const char* SkipPlain(const char* cursor, const char* limit, const unsigned char* classes) {
    while (cursor < limit) {
        const unsigned char cls = classes[static_cast<unsigned char>(*cursor)];
        if (cls == plainByte) {
            ++cursor;
        } else if (cls == leadByte && cursor + 1 < limit) {
            cursor += 2;
        } else {
            break;
        }
    }
    return cursor;
}

}  // namespace

int32_t DocumentConverter::MatchInlineElements(const char* cursor, const char* end,
                                               std::string_view terminators,
                                               std::vector<InlineElement>& elements) const {
    std::array<unsigned char, 256> storage;
    const unsigned char* classes = ClassesFor(matchClasses, terminators, storage);
    std::vector<std::size_t> open;  // indexes into `elements`, innermost last
    elements.reserve(8);
    while (true) {
        cursor = SkipPlain(cursor, end, classes);
        if (cursor >= end) {
            // A body that reaches the end of the line has no closer.
            return open.empty() ? statusOk : statusFail;
        }
        const char byte = *cursor;
        if (open.empty()) {
            if (IsTerminator(terminators, byte)) {
                return statusOk;
            }
        } else if (byte == '[' || byte == '*' || byte == '{') {
            InlineElement& element = elements[open.back()];
            element.closerByte = byte;
            element.closer = cursor;
            ++cursor;
            if (byte == '[') {
                if (cursor >= end) {
                    return statusFail;
                }
                // The reading is plain text up to "]"; only the backslash has a role.
                while (*cursor != ']') {
                    if (*cursor == '\\') {
                        ++cursor;
                        if (cursor >= end) {
                            return statusFail;
                        }
                    }
                    if (AppendEscapedChar(cursor, end, element.reading) < 0 || cursor >= end) {
                        return statusFail;
                    }
                }
                ++cursor;
            } else if (byte == '{') {
                OpenElement head;
                if (ParseElementHead(cursor, end, head, "span", "}") < 0 || cursor >= end) {
                    return statusFail;
                }
                ++cursor;
                BuildCommandStartTag(head, element.startTag);
                element.name = std::move(head.name);
            }
            element.after = cursor;
            open.pop_back();
            continue;
        }
        if (byte == '_') {
            ++cursor;
            if (cursor >= end || open.size() >= maxInlineDepth) {
                return statusFail;
            }
            open.push_back(elements.size());
            elements.emplace_back();
            continue;
        }
        if (byte == '\\') {
            ++cursor;
            if (cursor >= end) {
                return statusFail;
            }
        }
        if (AdvanceChar(cursor, end) < 0) {
            return statusFail;
        }
    }
}

void DocumentConverter::AppendInlineOpening(const InlineElement& element, std::string& out) const {
    const bool xml = mode == OutputMode::Xml;
    switch (element.closerByte) {
        case '[':
            if (xml) {
                out.append("<ruby param0=\"").append(element.reading).append("\">");
            } else {
                out.append("<ruby><rb>");
            }
            break;
        case '*':
            out.append("<em>");
            break;
        default:
            if (xml) {
                out.append(element.startTag);
            } else {
                out.append("<span class=\"inline_command\">");
                AppendEscapedText(element.startTag, out);
            }
            break;
    }
}

void DocumentConverter::AppendInlineClosing(const InlineElement& element, std::string& out) const {
    const bool xml = mode == OutputMode::Xml;
    switch (element.closerByte) {
        case '[':
            if (xml) {
                out.append("</ruby>");
            } else {
                out.append("</rb><rp>(</rp><rt>").append(element.reading);
                out.append("</rt><rp>)</rp></ruby>");
            }
            break;
        case '*':
            out.append("</em>");
            break;
        default:
            if (xml) {
                out.append("</").append(element.name).append(">\r\n");
            } else {
                out.append("&lt;/").append(element.name).append("&gt;</span>");
            }
            break;
    }
}

int32_t DocumentConverter::ConvertInline(const char*& cursor, const char* end, std::string& out,
                                         std::string_view terminators) const {
    if (cursor >= end) {
        return statusOk;
    }
    std::vector<InlineElement> elements;
    // Only a line holding a "_" byte can hold an element (a trail byte 0x5F merely
    // costs the matching scan).
    if (std::memchr(cursor, '_', static_cast<std::size_t>(end - cursor)) != nullptr) {
        if (MatchInlineElements(cursor, end, terminators, elements) < 0) {
            return statusFail;
        }
    }

    std::array<unsigned char, 256> storage;
    const unsigned char* classes = ClassesFor(charClasses, terminators, storage);

    std::vector<std::size_t> open;  // elements whose body is being written
    std::size_t next = 0;           // the element of the next "_"
    while (true) {
        const char* limit = open.empty() ? end : elements[open.back()].closer;
        const char* runStart = cursor;
        cursor = SkipPlain(cursor, limit, classes);
        out.append(runStart, cursor);
        if (!open.empty() && cursor == limit) {
            const InlineElement& element = elements[open.back()];
            AppendInlineClosing(element, out);
            cursor = element.after;
            open.pop_back();
            continue;
        }
        if (cursor >= end) {
            return open.empty() ? statusOk : statusFail;
        }
        const char byte = *cursor;
        if (open.empty() && IsTerminator(terminators, byte)) {
            return statusOk;
        }
        if (byte == '_') {
            if (next >= elements.size()) {
                return statusFail;  // cannot happen after a successful match
            }
            AppendInlineOpening(elements[next], out);
            open.push_back(next++);
            ++cursor;
            continue;
        }
        if (byte == '\\') {
            ++cursor;
            if (cursor >= end) {
                return statusFail;
            }
        }
        if (AppendEscapedChar(cursor, end, out) < 0) {
            return statusFail;
        }
    }
}

}  // namespace quirtle
