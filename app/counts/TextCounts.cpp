#include "counts/TextCounts.h"

#include <array>
#include <cstring>
#include <string>
#include <utility>

#include "ConvertManuscript.h"

namespace quirtle::counts {
namespace {

// What a byte of the export text means to the counter.
enum ByteClass : unsigned char {
    kPlain,      // one character
    kLead,       // first byte of a two-byte Shift_JIS character
    kLineBreak,  // CR or LF: no character
    kTagOpen,    // '<'
    kEntity,     // '&': one escaped character
    kUtf8Lead,   // first byte of a UTF-8 character of two to four bytes
};

constexpr std::array<unsigned char, 256> MakeByteClasses(bool utf8) {
    std::array<unsigned char, 256> classes{};
    for (int byte = 0; byte < 256; ++byte) {
        unsigned char kind = kPlain;
        if (utf8) {
            // A continuation byte without its lead (not UTF-8) counts as one character.
            if (byte >= 0xC0) kind = kUtf8Lead;
        } else if ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) {
            kind = kLead;
        }
        if (byte == '\r' || byte == '\n') kind = kLineBreak;
        if (byte == '<') kind = kTagOpen;
        if (byte == '&') kind = kEntity;
        classes[static_cast<std::size_t>(byte)] = kind;
    }
    return classes;
}

constexpr std::array<unsigned char, 256> kShiftJisClasses = MakeByteClasses(false);
constexpr std::array<unsigned char, 256> kUtf8Classes = MakeByteClasses(true);

// The elements whose start and end tags begin or end a block of text. Everything else
// in the text (ruby, emphasis, commands the author names) runs on within its block.
bool IsBlockElement(std::string_view name) {
    switch (name.size()) {
        case 3:
            return name == "pre";
        case 4:
            return name == "list";
        case 5:
            return name == "litem" || name == "dlist" || name == "dterm" || name == "ddesc";
        case 7:
            return name == "heading" || name == "section";
        case 9:
            return name == "paragraph" || name == "div_inner";
        case 10:
            return name == "blockquote";
        case 16:
            return name == "blockquote_inner";
        default:
            return false;
    }
}

}  // namespace

TextCounts CountExportDocument(std::string_view xml, TextEncoding encoding) {
    const std::array<unsigned char, 256>& kByteClasses =
        encoding == TextEncoding::Utf8 ? kUtf8Classes : kShiftJisClasses;
    TextCounts counts;
    std::size_t block = 0;  // characters of the block being read
    const char* cursor = xml.data();
    const char* const end = cursor + xml.size();
    auto endBlock = [&] {
        counts.characters += block;
        counts.lines += BlockLines(block);
        block = 0;
    };
    while (cursor < end) {
        switch (kByteClasses[static_cast<unsigned char>(*cursor)]) {
            case kPlain:
                // Blanks that open a block are not shown by the page.
                if (block != 0 || (*cursor != ' ' && *cursor != '\t')) ++block;
                ++cursor;
                break;
            case kLead:
                // Japanese text comes in long runs of two-byte characters.
                do {
                    ++block;
                    cursor += 2;
                } while (cursor < end &&
                         kByteClasses[static_cast<unsigned char>(*cursor)] == kLead);
                if (cursor > end) cursor = end;
                break;
            case kUtf8Lead:
                // A run of multibyte characters: each byte but a continuation byte starts
                // one.
                do {
                    block += (static_cast<unsigned char>(*cursor) & 0xC0) != 0x80;
                    ++cursor;
                } while (cursor < end && static_cast<unsigned char>(*cursor) >= 0x80);
                break;
            case kLineBreak:
                ++cursor;
                break;
            case kEntity: {
                ++block;
                const void* semicolon =
                    std::memchr(cursor, ';', static_cast<std::size_t>(end - cursor));
                cursor = semicolon ? static_cast<const char*>(semicolon) + 1 : end;
                break;
            }
            case kTagOpen: {
                // Attribute values are escaped, so the first '>' ends the tag.
                const void* close =
                    std::memchr(cursor, '>', static_cast<std::size_t>(end - cursor));
                const char* tagEnd = close ? static_cast<const char*>(close) : end;
                const char* name = cursor + 1;
                if (name < tagEnd && *name == '/') ++name;
                const char* nameEnd = name;
                while (nameEnd < tagEnd && *nameEnd != ' ' && *nameEnd != '/') ++nameEnd;
                if (IsBlockElement(
                        std::string_view(name, static_cast<std::size_t>(nameEnd - name)))) {
                    endBlock();
                }
                cursor = close ? tagEnd + 1 : end;
                break;
            }
        }
    }
    endBlock();
    counts.pages = PagesForLines(counts.lines);
    return counts;
}

std::optional<TextCounts> CountManuscript(std::string_view manuscript, TextEncoding encoding) {
    std::string xml;
    if (ConvertManuscript(manuscript, OutputMode::Xml, xml, encoding) < 0) {
        return std::nullopt;
    }
    return CountExportDocument(xml, encoding);
}

}  // namespace quirtle::counts
