// Inline markup: ruby "_base[reading]", emphasis "_text*", inline commands
// "_body{name(class#id) params}", and backslash escapes.
//
// Converting a body into a string of its own and wrapping it afterwards would copy
// every byte once per level of nesting. Instead one scan walks the line character by
// character (so a Shift_JIS trail byte is never taken for markup; UTF-8 is walked byte by
// byte, ByteRules.h), checks it whole,
// matches every "_" with the closer that ends its body and records these places as
// events, together with every byte to be written as an entity. The output is then
// written straight into `out`: the text between events is copied whole. Both passes
// are linear in the line. Whenever no element is open the events so far are written
// out, so the working storage stays small however long the line.
#include <array>
#include <functional>
#include <optional>

#include "DocumentConverter.h"
#include "Entities.h"
#include "StopScanner.h"

namespace quirtle {

namespace {

// The bytes that end the body of an element: "[" ruby, "*" emphasis, "{" inline command.
constexpr std::array<bool, 256> closers = [] {
    std::array<bool, 256> bytes{};
    bytes['['] = true;
    bytes['*'] = true;
    bytes['{'] = true;
    return bytes;
}();

}  // namespace

int32_t DocumentConverter::MatchInlineElements(const char*& cursor, const char* end,
                                               std::string_view terminators, InlineScratch& scratch,
                                               OutputBuffer& out, const char*& written) const {
    const std::less_equal<const char*> notAfter;
    if (terminators.empty() && end == currentLineEnd && currentLineStart != nullptr &&
        notAfter(currentLineStart, cursor) && notAfter(cursor, end)) {
        TextBlocks::LineStops scanner = textBlocks.StopsOfLine();
        return MatchInlineElementsWith(scanner, cursor, end, terminators, scratch, out, written);
    }
    std::optional<scan::StopSet> ownStops;
    if (!terminators.empty() && terminators != ":") {
        ownStops.emplace(terminators);
    }
    // The text before the cursor may be read too when it lies in the text being
    // converted: the last bytes of a short line are then classified in place.
    const char* const readable = convertingBegin != nullptr && notAfter(convertingBegin, cursor) &&
                                         notAfter(cursor, convertingEnd)
                                     ? convertingBegin
                                     : cursor;
    const scan::StopSet& stops = ownStops              ? *ownStops
                                 : terminators.empty() ? plainStops
                                                       : termStops;
    StopScanner scanner(readable, end, stops, classify);
    return MatchInlineElementsWith(scanner, cursor, end, terminators, scratch, out, written);
}

template <typename Scanner>
int32_t DocumentConverter::MatchInlineElementsWith(Scanner& scanner, const char*& cursor,
                                                   const char* end, std::string_view terminators,
                                                   InlineScratch& scratch, OutputBuffer& out,
                                                   const char*& written) const {
    std::vector<InlineElement>& elements = scratch.elements;
    std::vector<InlineEvent>& events = scratch.events;
    // The innermost element whose closer has not been found yet; each element knows
    // its parent, so no separate stack is needed.
    std::size_t open = InlineElement::noParent;
    while (true) {
        cursor = scanner.Next(cursor);
        if (cursor >= end) {
            // A body that reaches the end of the line has no closer.
            return open == InlineElement::noParent ? statusOk : statusFail;
        }
        const char byte = *cursor;
        if (open == InlineElement::noParent) {
            if (!events.empty()) {
                // Every element so far is closed: write what is known, so that a long
                // line needs no more working storage than a short one.
                WriteInlineEvents(scratch, written, out);
                events.clear();
                elements.clear();
                scratch.text.clear();
            }
            if (IsTerminator(terminators, byte)) {
                return statusOk;
            }
            if (byte != '_') {
                // Text outside every element goes straight to the output. The common
                // stops there are single-byte characters: escaped bytes, often several
                // close together, or a closer that closes nothing and stays as it is.
                unsigned char entity = entities::indexOf[static_cast<unsigned char>(byte)];
                if (entity != 0) {
                    do {
                        const std::string_view run(written,
                                                   static_cast<std::size_t>(cursor - written));
                        char* to = out.Claim(run.size() + entities::padded[entity].capacity);
                        out.Commit(OutputBuffer::Put(OutputBuffer::Put(to, run),
                                                     entities::padded[entity]));
                        written = ++cursor;
                        cursor = scanner.Next(cursor);
                        entity = cursor < end
                                     ? entities::indexOf[static_cast<unsigned char>(*cursor)]
                                     : 0;
                    } while (entity != 0);
                    continue;
                }
                if (byte != '\\' && static_cast<unsigned char>(byte) < 0x80) {
                    ++cursor;
                    continue;
                }
                if (WriteTopLevelChar(cursor, end, out, written, *leads) < 0) {
                    return statusFail;
                }
                continue;
            }
        } else if (byte == '[' || byte == '*' || byte == '{') {
            events.push_back({cursor, open, InlineEvent::close});
            InlineElement& element = elements[open];
            element.closerByte = byte;
            ++cursor;
            if (ReadElementTail(cursor, end, element, scratch) < 0) {
                return statusFail;
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
            if (open == InlineElement::noParent) {
                const int32_t plain = WritePlainElement(cursor, end, scanner, out, written);
                if (plain < 0) {
                    return statusFail;
                }
                if (plain > 0) {
                    continue;
                }
            }
            events.push_back({cursor, elements.size(), InlineEvent::open});
            InlineElement& element = elements.emplace_back();
            element.parent = open;
            element.depth = depth;
            open = elements.size() - 1;
            ++cursor;
            continue;
        }
        if (byte == '\\') {
            // The backslash is dropped; the character after it is taken as it is.
            events.push_back({cursor, 0, InlineEvent::escape});
            ++cursor;
            if (cursor >= end) {
                return statusFail;
            }
        }
        // One character taken as text; any of its bytes may have to be escaped (the
        // second byte of a broken pair too).
        const char* const character = cursor;
        if (AdvanceChar(cursor, end, *leads) < 0) {
            return statusFail;
        }
        for (const char* at = character; at < cursor; ++at) {
            if (entities::IsEscaped(*at)) {
                events.push_back({at, 0, InlineEvent::entity});
            }
        }
    }
}

void DocumentConverter::AppendInlineOpening(const InlineElement& element, std::string_view text,
                                            OutputBuffer& out) const {
    const std::string_view elementText = text.substr(element.textStart, element.textLength);
    switch (element.closerByte) {
        case '[':
            out.append(spell->rubyOpen);
            if (spell->readingInOpening) {
                out.append(elementText);
            }
            out.append(spell->rubyOpenEnd);
            break;
        case '*':
            out.append("<em>");
            break;
        default:
            out.append(spell->inlineCommandPrefix).append(elementText);
            break;
    }
}

void DocumentConverter::AppendInlineClosing(const InlineElement& element, std::string_view text,
                                            OutputBuffer& out) const {
    switch (element.closerByte) {
        case '[':
            out.append(spell->rubyClose);
            if (!spell->readingInOpening) {
                out.append(text.substr(element.textStart, element.textLength));
            }
            out.append(spell->rubyCloseEnd);
            break;
        case '*':
            out.append("</em>");
            break;
        default:
            out.append(spell->inlineCommandCloseStart)
                .append(text.substr(element.nameStart, element.nameLength))
                .append(spell->inlineCommandCloseEnd);
            break;
    }
}

int32_t DocumentConverter::ReadElementTail(const char*& cursor, const char* end,
                                           InlineElement& element, InlineScratch& scratch) const {
    if (element.closerByte == '[') {
        // The reading is plain text up to "]"; only the backslash has a role.
        element.textStart = scratch.text.size();
        if (AppendEscapedUntil(cursor, end, ']', scratch.text, *leads) < 0) {
            return statusFail;
        }
        element.textLength = scratch.text.size() - element.textStart;
        ++cursor;
    } else if (element.closerByte == '{') {
        std::string_view name;
        element.textStart = scratch.text.size();
        if (ReadInlineCommandHead(cursor, end, name, scratch.text) < 0) {
            return statusFail;
        }
        element.textLength = scratch.text.size() - element.textStart;
        element.nameStart = scratch.text.size();
        element.nameLength = name.size();
        scratch.text.append(name);
    }
    return statusOk;
}

template <typename Scanner>
QUIRTLE_ALWAYS_INLINE int32_t DocumentConverter::WritePlainElement(const char*& cursor,
                                                                   const char* end,
                                                                   Scanner& scanner,
                                                                   OutputBuffer& out,
                                                                   const char*& written) const {
    const char* const bodyStart = cursor + 1;
    const char* const closer = scanner.Next(bodyStart);
    // At the line's end, the byte there (a line end, or past the text) is never a closer.
    if (closer >= end || !closers[static_cast<unsigned char>(*closer)]) {
        return 0;  // the body holds markup or escapes, or has no closer: the general way
    }
    // The text before, the opening, the body and the closing go straight to the output,
    // into room claimed for as much as is known; what a failure leaves there, the caller
    // drops with the whole line.
    constexpr std::size_t pieceRoom = Spellings::Piece::capacity;
    const std::string_view before(written, static_cast<std::size_t>(cursor - written));
    const std::string_view body(bodyStart, static_cast<std::size_t>(closer - bodyStart));
    const char* after = closer + 1;
    switch (*closer) {
        case '[': {
            // A reading whose first stop is its "]" holds nothing to escape or unescape:
            // it is copied as it is.
            const char* const readingEnd = scanner.Next(after);
            if (readingEnd < end && *readingEnd == ']') {
                const std::string_view reading(after, static_cast<std::size_t>(readingEnd - after));
                char* to = out.Claim(before.size() + body.size() + reading.size() + 4 * pieceRoom);
                to = OutputBuffer::Put(to, before);
                to = OutputBuffer::Put(to, spell->rubyOpen);
                if (spell->readingInOpening) {
                    to = OutputBuffer::Put(to, reading);
                    to = OutputBuffer::Put(to, spell->rubyOpenEnd);
                    to = OutputBuffer::Put(to, body);
                    to = OutputBuffer::Put(to, spell->rubyClose);
                } else {
                    to = OutputBuffer::Put(to, spell->rubyOpenEnd);
                    to = OutputBuffer::Put(to, body);
                    to = OutputBuffer::Put(to, spell->rubyClose);
                    to = OutputBuffer::Put(to, reading);
                }
                to = OutputBuffer::Put(to, spell->rubyCloseEnd);
                out.Commit(to);
                after = readingEnd + 1;
                break;
            }
            out.append(before).append(spell->rubyOpen);
            if (spell->readingInOpening) {
                if (AppendEscapedUntil(after, end, ']', out, *leads) < 0) {
                    return statusFail;
                }
                out.append(spell->rubyOpenEnd).append(body).append(spell->rubyClose);
            } else {
                out.append(spell->rubyOpenEnd).append(body).append(spell->rubyClose);
                if (AppendEscapedUntil(after, end, ']', out, *leads) < 0) {
                    return statusFail;
                }
            }
            out.append(spell->rubyCloseEnd);
            ++after;  // the "]"
            break;
        }
        case '*': {
            constexpr std::string_view emOpen = "<em>";
            constexpr std::string_view emClose = "</em>";
            char* to = out.Claim(before.size() + body.size() + emOpen.size() + emClose.size());
            to = OutputBuffer::Put(to, before);
            to = OutputBuffer::Put(to, emOpen);
            to = OutputBuffer::Put(to, body);
            to = OutputBuffer::Put(to, emClose);
            out.Commit(to);
            break;
        }
        default: {
            out.append(before).append(spell->inlineCommandPrefix);
            std::string_view name;
            if (ReadInlineCommandHead(after, end, name, out) < 0) {
                return statusFail;
            }
            char* to = out.Claim(body.size() + name.size() + 2 * pieceRoom);
            to = OutputBuffer::Put(to, body);
            to = OutputBuffer::Put(to, spell->inlineCommandCloseStart);
            to = OutputBuffer::Put(to, name);
            to = OutputBuffer::Put(to, spell->inlineCommandCloseEnd);
            out.Commit(to);
            break;
        }
    }
    cursor = after;
    written = after;
    return 1;
}

int32_t DocumentConverter::WriteTopLevelChar(const char*& cursor, const char* end,
                                             OutputBuffer& out, const char*& written,
                                             const LeadBytes& leads) {
    if (*cursor == '\\') {
        // The backslash is dropped; the character after it is taken as it is.
        out.append(written, cursor);
        ++cursor;
        written = cursor;
    }
    const char* const character = cursor;
    if (AdvanceChar(cursor, end, leads) < 0) {
        return statusFail;
    }
    for (const char* at = character; at < cursor; ++at) {
        if (entities::IsEscaped(*at)) {
            out.append(written, at).append(entities::Of(*at));
            written = at + 1;
        }
    }
    return statusOk;
}

int32_t DocumentConverter::ConvertInline(const char*& cursor, const char* end, std::string& out,
                                         std::string_view terminators) const {
    InlineScratch scratch;
    OutputBuffer buffer(out);
    const int32_t status = ConvertInlineWith(cursor, end, buffer, terminators, scratch);
    buffer.Finish();
    return status;
}

void DocumentConverter::WriteInlineEvents(const InlineScratch& scratch, const char*& text,
                                          OutputBuffer& out) const {
    const std::vector<InlineElement>& elements = scratch.elements;
    for (const InlineEvent& event : scratch.events) {
        out.append(text, event.at);
        switch (event.kind) {
            case InlineEvent::open:
                AppendInlineOpening(elements[event.element], scratch.text.view(), out);
                text = event.at + 1;
                break;
            case InlineEvent::close:
                AppendInlineClosing(elements[event.element], scratch.text.view(), out);
                text = elements[event.element].after;
                break;
            case InlineEvent::escape:
                text = event.at + 1;
                break;
            case InlineEvent::entity:
                out.append(entities::Of(*event.at));
                text = event.at + 1;
                break;
        }
    }
}

int32_t DocumentConverter::ConvertInlineWith(const char*& cursor, const char* end,
                                             OutputBuffer& out, std::string_view terminators,
                                             InlineScratch& scratch) const {
    if (cursor >= end) {
        return statusOk;
    }
    scratch.elements.clear();
    scratch.events.clear();
    scratch.text.clear();
    const std::size_t outStart = out.size();
    const char* written = cursor;  // start of the text not written yet
    const char* stop = cursor;
    if (MatchInlineElements(stop, end, terminators, scratch, out, written) < 0) {
        out.resize(outStart);  // nothing of a rejected text is written
        return statusFail;
    }
    if (!scratch.events.empty()) {
        WriteInlineEvents(scratch, written, out);
    }
    out.append(written, stop);
    cursor = stop;
    return statusOk;
}

}  // namespace quirtle
