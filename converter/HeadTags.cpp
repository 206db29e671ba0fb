// Element heads written as start tags in one pass: inline commands "{name(class#id) params}"
// and one-line commands ":name(class#id) params".
//
// The class, the id and each parameter are written straight from the manuscript's bytes.
// Escaping a run of bytes byte by byte gives what escaping it character by character
// gives, since no valid second byte of a Shift_JIS character is ever escaped (and no
// byte of a UTF-8 one) (and the
// second byte of a broken pair is escaped either way). The shown form is the markup form
// escaped once more, so a value there is escaped twice in one step.
#include <array>
#include <cstring>

#include "DocumentConverter.h"
#include "Entities.h"

namespace quirtle {

namespace {

// The replacement of each escaped byte, escaped once (markup) or twice (shown form),
// padded to sixteen bytes so that it is copied in one move.
using Replacements = std::array<PaddedPiece<16>, entities::replacements.size()>;

constexpr Replacements MakeReplacements(bool shown) {
    Replacements table{};
    for (std::size_t index = 1; index < table.size(); ++index) {
        // "&lt;" escaped again is "&amp;lt;".
        const std::string_view once = entities::replacements[index];
        if (shown) {
            table[index].Append("&amp;");
            table[index].Append(once.substr(1));
        } else {
            table[index].Append(once);
        }
    }
    return table;
}

constexpr Replacements markupReplacements = MakeReplacements(false);
constexpr Replacements shownReplacements = MakeReplacements(true);
// The longest replacement, "&amp;quot;", and the room one move of it needs.
constexpr std::size_t longestReplacement = 10;
constexpr std::size_t moveRoom = PaddedPiece<16>::capacity;

// The room that PutValue needs for `size` bytes.
constexpr std::size_t ValueRoom(std::size_t size) {
    return size * longestReplacement + moveRoom;
}

// Writes `text` escaped once, or twice for the shown form, at `to` (with ValueRoom of its
// size); returns the place after it.
QUIRTLE_ALWAYS_INLINE char* PutValue(char* to, std::string_view text, bool shown) {
    const Replacements& table = shown ? shownReplacements : markupReplacements;
    for (const char byte : text) {
        const unsigned char entity = entities::indexOf[static_cast<unsigned char>(byte)];
        if (entity == 0) {
            *to++ = byte;
        } else {
            to = OutputBuffer::Put(to, table[entity]);
        }
    }
    return to;
}

void AppendValue(std::string_view text, bool shown, OutputBuffer& out) {
    out.Commit(PutValue(out.Claim(ValueRoom(text.size())), text, shown));
}

// The room of a parameter's start: " param", up to 20 digits, "=&quot;".
constexpr std::size_t paramStartRoom = 6 + 20 + 7;

// Writes " param<index>=" and the opening quote at `to`; returns the place after it.
QUIRTLE_ALWAYS_INLINE char* PutParamStart(char* to, std::size_t index, bool shown) {
    if (index < 10) {
        // " param0" to " param9": one copy of seven bytes.
        char start[] = " param0";
        start[6] = static_cast<char>('0' + index);
        to = OutputBuffer::Put(to, std::string_view(start, 7));
    } else {
        char digits[20];
        char* first = digits + sizeof digits;
        do {
            *--first = static_cast<char>('0' + index % 10);
            index /= 10;
        } while (index != 0);
        to = OutputBuffer::Put(to, " param");
        to = OutputBuffer::Put(
            to, std::string_view(first, static_cast<std::size_t>(digits + sizeof digits - first)));
    }
    return OutputBuffer::Put(to, shown ? std::string_view("=&quot;") : std::string_view("=\""));
}

}  // namespace

void DocumentConverter::AppendParamStart(std::size_t index, TagForm form, OutputBuffer& out) {
    out.Commit(PutParamStart(out.Claim(paramStartRoom), index, form == TagForm::Shown));
}

namespace {

// What the head reader looks at in a byte, as bits: a byte without any of the bits it
// asks for is stepped over with no further test.
enum HeadByte : unsigned char {
    leadsPair = 1,      // the first byte of a double-byte character
    endsGroupPart = 2,  // " ", "#" or ")" in the class-and-id group
    endsParam = 4,      // " " or a terminator, after a parameter without quotes
    isTerminator = 8,   // a terminator of the head
    stopsQuoted = 16,   // '"' or a backslash, in a quoted parameter
};
using HeadBytes = std::array<unsigned char, 256>;

constexpr HeadBytes MakeHeadBytes(std::string_view terminators, const LeadBytes& leads) {
    HeadBytes bytes{};
    for (int byte = 0; byte < 256; ++byte) {
        if (leads[static_cast<unsigned char>(byte)]) {
            bytes[byte] |= leadsPair;
        }
    }
    bytes[' '] |= endsGroupPart | endsParam;
    bytes['#'] |= endsGroupPart;
    bytes[')'] |= endsGroupPart;
    bytes['"'] |= stopsQuoted;
    bytes['\\'] |= stopsQuoted;
    for (const char terminator : terminators) {
        bytes[static_cast<unsigned char>(terminator)] |= endsParam | isTerminator;
    }
    return bytes;
}

// The heads of inline commands end at "}", those of one-line commands at the line's end;
// one table for each encoding (EncodingIndex).
constexpr std::array<HeadBytes, 2> braceHeadBytes = {MakeHeadBytes("}", shiftJisLeadBytes),
                                                     MakeHeadBytes("}", utf8LeadBytes)};
constexpr std::array<HeadBytes, 2> lineHeadBytes = {MakeHeadBytes({}, shiftJisLeadBytes),
                                                    MakeHeadBytes({}, utf8LeadBytes)};

// Steps over whole characters up to the first byte that has one of `marks`, or the end.
// False when the text ends inside a double-byte character.
QUIRTLE_ALWAYS_INLINE bool SkipTo(const char*& cursor, const char* end, const HeadBytes& bytes,
                                  unsigned char marks) {
    while (cursor < end) {
        const unsigned char kind = bytes[static_cast<unsigned char>(*cursor)];
        if ((kind & (marks | leadsPair)) == 0) {
            ++cursor;
        } else if ((kind & marks) != 0) {
            return true;
        } else if (end - cursor < 2) {
            return false;
        } else {
            cursor += 2;
        }
    }
    return true;
}

}  // namespace

int32_t DocumentConverter::ReadCommandLineHead(const char*& cursor, const char* end,
                                               std::string_view& name, OutputBuffer& out) const {
    const HeadBytes& bytes = lineHeadBytes[EncodingIndex(encoding)];
    return spell->commandTagShown
               ? WriteHeadAsTag<TagForm::Shown>(cursor, end, name, "div", {}, bytes, out)
               : WriteHeadAsTag<TagForm::Markup>(cursor, end, name, "div", {}, bytes, out);
}

int32_t DocumentConverter::ReadInlineCommandHead(const char*& cursor, const char* end,
                                                 std::string_view& name, OutputBuffer& out) const {
    const HeadBytes& bytes = braceHeadBytes[EncodingIndex(encoding)];
    const int32_t status =
        spell->inlineTagShown
            ? WriteHeadAsTag<TagForm::Shown>(cursor, end, name, "span", "}", bytes, out)
            : WriteHeadAsTag<TagForm::Markup>(cursor, end, name, "span", "}", bytes, out);
    if (status < 0 || cursor >= end) {
        return statusFail;
    }
    ++cursor;  // the "}"
    return statusOk;
}

template <DocumentConverter::TagForm form>
int32_t DocumentConverter::WriteHeadAsTag(const char*& cursor, const char* end,
                                          std::string_view& name, std::string_view defaultName,
                                          std::string_view terminators,
                                          const std::array<unsigned char, 256>& bytes,
                                          OutputBuffer& out) const {
    // The pieces of the tag are constants of the form, so that each is written in a
    // fixed number of moves.
    constexpr bool shown = form == TagForm::Shown;
    constexpr std::string_view quote = shown ? "&quot;" : "\"";

    // A well-formed name holds no byte that is escaped, and neither do the default names,
    // so it is written as it is.
    if (ParseName(cursor, end, name, defaultName, terminators) < 0) {
        return statusFail;
    }
    out.append(shown ? std::string_view("&lt;") : std::string_view("<")).append(name);

    // The class-and-id group: "(" class ["#" id] ")". The character right after "#"
    // always belongs to the id, whatever it is; a space or a second "#" rejects the head.
    if (cursor < end && *cursor == '(') {
        ++cursor;
        const char* const classStart = cursor;
        const char* classEnd = nullptr;
        const char* idStart = nullptr;
        while (true) {
            if (!SkipTo(cursor, end, bytes, endsGroupPart) || cursor >= end || *cursor == ' ') {
                return statusFail;
            }
            if (*cursor == ')') {
                break;
            }
            // A "#".
            if (idStart != nullptr) {
                return statusFail;
            }
            classEnd = cursor;
            ++cursor;
            idStart = cursor;
            if (AdvanceChar(cursor, end, *leads) < 0) {
                return statusFail;
            }
        }
        if (classEnd == nullptr) {
            classEnd = cursor;
        }
        const std::string_view className(classStart,
                                         static_cast<std::size_t>(classEnd - classStart));
        const std::string_view id =
            idStart != nullptr
                ? std::string_view(idStart, static_cast<std::size_t>(cursor - idStart))
                : std::string_view();
        constexpr std::string_view classStartText = shown ? " class=&quot;" : " class=\"";
        constexpr std::string_view idStartText = shown ? " id=&quot;" : " id=\"";
        char* to = out.Claim(classStartText.size() + idStartText.size() + 2 * quote.size() +
                             ValueRoom(className.size()) + ValueRoom(id.size()));
        if (!className.empty()) {
            to = OutputBuffer::Put(to, classStartText);
            to = OutputBuffer::Put(PutValue(to, className, shown), quote);
        }
        if (!id.empty()) {
            to = OutputBuffer::Put(to, idStartText);
            to = OutputBuffer::Put(PutValue(to, id, shown), quote);
        }
        out.Commit(to);
        ++cursor;  // the ")"
    }
    SkipSpaces(cursor, end);

    // Parameters, separated by spaces; quoted ones may hold spaces and terminators, and
    // there a backslash takes the character after it as it is.
    for (std::size_t index = 0;
         cursor < end && (bytes[static_cast<unsigned char>(*cursor)] & isTerminator) == 0;
         ++index) {
        // A value without backslashes is written with its start and quotes in one claimed
        // room; one with backslashes run by run.
        const bool quoted = *cursor == '"';
        const char* const start = quoted ? cursor + 1 : cursor;
        cursor = start;
        if (!SkipTo(cursor, end, bytes, quoted ? stopsQuoted : endsParam) ||
            (quoted && cursor >= end)) {
            return statusFail;  // a broken character, or no closing quote
        }
        const std::string_view value(start, static_cast<std::size_t>(cursor - start));
        if (!quoted || *cursor == '"') {
            char* to = out.Claim(paramStartRoom + ValueRoom(value.size()) + quote.size());
            to = PutValue(PutParamStart(to, index, shown), value, shown);
            out.Commit(OutputBuffer::Put(to, quote));
            cursor += quoted ? 1 : 0;  // the closing quote
        } else {
            AppendParamStart(index, form, out);
            const char* run = start;
            while (*cursor != '"') {
                // A backslash: dropped, and the character after it taken as it is.
                AppendValue(std::string_view(run, static_cast<std::size_t>(cursor - run)), shown,
                            out);
                ++cursor;
                run = cursor;
                if (AdvanceChar(cursor, end, *leads) < 0 ||
                    !SkipTo(cursor, end, bytes, stopsQuoted) || cursor >= end) {
                    return statusFail;
                }
            }
            AppendValue(std::string_view(run, static_cast<std::size_t>(cursor - run)), shown, out);
            out.append(quote);
            ++cursor;  // the closing quote
        }
        SkipSpaces(cursor, end);
    }
    out.append(shown ? std::string_view("&gt;") : std::string_view(">"));
    return statusOk;
}

}  // namespace quirtle
