// Inline markup: ruby "_base[reading]", emphasis "_text*", inline commands
// "_body{name(class#id) params}", and backslash escapes.
//
// Converting a body into a string of its own and wrapping it afterwards would copy
// every byte once per level of nesting. Instead one scan walks the line character by
// character (so a Shift_JIS trail byte is never taken for markup), checks it whole,
// matches every "_" with the closer that ends its body and records these places as
// events. The output is then written straight into `out`: the text between events
// is escaped byte by byte, which is safe because the escaped bytes are all below 0x40
// and no trail byte is. Both passes are linear in the line.
#include <array>

#include "DocumentConverter.h"

namespace quirtle {

struct DocumentConverter::InlineElement {
    char closerByte = 0;            // '[' ruby, '*' emphasis, '{' inline command
    const char* after = nullptr;    // first byte after the whole element
    std::string reading;            // ruby reading, escaped
    std::string startTag;           // inline command start tag
    std::string name;               // inline command name
    std::size_t parent = noParent;  // the element whose body holds this one
    std::size_t depth = 1;          // nesting level, 1 at the top of the text
    static constexpr std::size_t noParent = static_cast<std::size_t>(-1);
};

// A place in the line where the output is not the escaped input.
struct DocumentConverter::InlineEvent {
    enum Kind : unsigned char { open, close, escape };
    const char* at;       // the "_", the closer, or the backslash
    std::size_t element;  // for open and close
    Kind kind;
};

namespace {

// For each byte, how far the scan steps when a character starts with it: 1 for an
// ordinary single-byte character, 2 for a double-byte one, and 0 for a byte the scan
// must look at: "_", the backslash and the three closers.
using StepTable = std::array<unsigned char, 256>;
constexpr unsigned char stopHere = 0;

constexpr StepTable MakeSteps() {
    StepTable steps{};
    for (int byte = 0; byte < 256; ++byte) {
        steps[byte] = DocumentConverter::IsLeadByte(static_cast<unsigned char>(byte)) ? 2 : 1;
    }
    for (unsigned char byte : {'_', '\\', '[', '*', '{'}) {
        steps[byte] = stopHere;
    }
    return steps;
}

constexpr StepTable defaultSteps = MakeSteps();

// The step table for one scan, stopping also at the terminator bytes.
const unsigned char* StepsFor(std::string_view terminators, StepTable& storage) {
    if (terminators.empty()) {
        return defaultSteps.data();
    }
    storage = defaultSteps;
    for (char byte : terminators) {
        storage[static_cast<unsigned char>(byte)] = stopHere;
    }
    return storage.data();
}

// Steps over ordinary characters until a stop byte or `limit`. A double-byte
// character cut off by `limit` is left under the cursor for the careful path.
const char* SkipPlain(const char* cursor, const char* limit, const unsigned char* steps) {
    // Branches rather than adding the step: the predicted branch lets the processor
    // run ahead instead of waiting for each table lookup.
    while (limit - cursor >= 2) {
        const unsigned char step = steps[static_cast<unsigned char>(*cursor)];
        if (step == 2) {
            cursor += 2;
        } else if (step == 1) {
            ++cursor;
        } else {
            return cursor;
        }
    }
    if (cursor < limit && steps[static_cast<unsigned char>(*cursor)] == 1) {
        ++cursor;
    }
    return cursor;
}

}  // namespace

int32_t DocumentConverter::MatchInlineElements(const char*& cursor, const char* end,
                                               std::string_view terminators,
                                               std::vector<InlineElement>& elements,
                                               std::vector<InlineEvent>& events) const {
    StepTable storage;
    const unsigned char* steps = StepsFor(terminators, storage);
    // The innermost element whose closer has not been found yet; each element knows
    // its parent, so no separate stack is needed.
    std::size_t open = InlineElement::noParent;
    while (true) {
        cursor = SkipPlain(cursor, end, steps);
        if (cursor >= end) {
            // A body that reaches the end of the line has no closer.
            return open == InlineElement::noParent ? statusOk : statusFail;
        }
        const char byte = *cursor;
        if (open == InlineElement::noParent) {
            if (IsTerminator(terminators, byte)) {
                return statusOk;
            }
        } else if (byte == '[' || byte == '*' || byte == '{') {
            events.push_back({cursor, open, InlineEvent::close});
            InlineElement& element = elements[open];
            element.closerByte = byte;
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
            open = element.parent;
            continue;
        }
        if (byte == '_') {
            const std::size_t depth =
                open == InlineElement::noParent ? 1 : elements[open].depth + 1;
            if (cursor + 1 >= end || depth > maxInlineDepth) {
                return statusFail;
            }
            events.push_back({cursor, elements.size(), InlineEvent::open});
            if (elements.empty()) {
                elements.reserve(8);
            }
            InlineElement& element = elements.emplace_back();
            element.parent = open;
            element.depth = depth;
            open = elements.size() - 1;
            ++cursor;
            continue;
        }
        if (byte == '\\') {
            events.push_back({cursor, 0, InlineEvent::escape});
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
    const char* const start = cursor;
    std::vector<InlineElement> elements;
    std::vector<InlineEvent> events;
    const char* stop = cursor;
    if (MatchInlineElements(stop, end, terminators, elements, events) < 0) {
        return statusFail;
    }

    const char* text = start;  // start of the text not written yet
    for (const InlineEvent& event : events) {
        AppendEscapedText(std::string_view(text, static_cast<std::size_t>(event.at - text)), out);
        switch (event.kind) {
            case InlineEvent::open:
                AppendInlineOpening(elements[event.element], out);
                text = event.at + 1;
                break;
            case InlineEvent::close:
                AppendInlineClosing(elements[event.element], out);
                text = elements[event.element].after;
                break;
            case InlineEvent::escape: {
                // The escaped character is taken as it is (the scan checked it is whole).
                const char* character = event.at + 1;
                const std::size_t length =
                    IsLeadByte(static_cast<unsigned char>(*character)) ? 2 : 1;
                AppendEscapedText(std::string_view(character, length), out);
                text = character + length;
                break;
            }
        }
    }
    AppendEscapedText(std::string_view(text, static_cast<std::size_t>(stop - text)), out);
    cursor = stop;
    return statusOk;
}

}  // namespace quirtle
