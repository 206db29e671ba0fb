// Reading the reader's text out of an export document: which characters the page shows and
// where each block of text ends. The status bar's counts and the manuscript-paper view both
// read the document through this one reader, so the pages they give agree.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "TextEncoding.h"

namespace quirtle::counts {

namespace exporttext {

// What a byte of the export text means to the reader.
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

inline constexpr std::array<unsigned char, 256> kShiftJisClasses = MakeByteClasses(false);
inline constexpr std::array<unsigned char, 256> kUtf8Classes = MakeByteClasses(true);

// The elements whose start and end tags begin or end a block of text. Everything else
// in the text (ruby, emphasis, commands the author names) runs on within its block.
constexpr bool IsBlockElement(std::string_view name) {
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

}  // namespace exporttext

// Reads `xml` (an export document as the converter writes it, in `encoding`) and tells
// `visitor`:
//  - Text(begin, end, characters): a run of `characters` characters the page shows, the
//    bytes [begin, end) of the document; an entity is one character, its bytes from '&'
//    to ';'. Blanks that open a block are not shown, and not told.
//  - BlockEnd(): a block element starts or ends (also when the block had no text).
//  - Tag(tag): any other tag, whole from '<' to '>' (or the end of the document).
// A block ends at the end of the document too. Attribute values are escaped, so the first
// '>' ends a tag.
template <typename Visitor>
void ReadExportText(std::string_view xml, TextEncoding encoding, Visitor& visitor) {
    using namespace exporttext;
    const std::array<unsigned char, 256>& classes =
        encoding == TextEncoding::Utf8 ? kUtf8Classes : kShiftJisClasses;
    bool blockShown = false;  // the block being read has shown a character
    const char* cursor = xml.data();
    const char* const end = cursor + xml.size();
    while (cursor < end) {
        const char* const start = cursor;
        switch (classes[static_cast<unsigned char>(*cursor)]) {
            case kPlain:
                ++cursor;
                if (blockShown || (*start != ' ' && *start != '\t')) {
                    blockShown = true;
                    visitor.Text(start, cursor, 1);
                }
                break;
            case kLead: {
                // Japanese text comes in long runs of two-byte characters.
                std::size_t characters = 0;
                do {
                    ++characters;
                    cursor += 2;
                } while (cursor < end && classes[static_cast<unsigned char>(*cursor)] == kLead);
                if (cursor > end) cursor = end;
                blockShown = true;
                visitor.Text(start, cursor, characters);
                break;
            }
            case kUtf8Lead: {
                // A run of multibyte characters: each byte but a continuation byte starts
                // one.
                std::size_t characters = 0;
                do {
                    characters += (static_cast<unsigned char>(*cursor) & 0xC0) != 0x80;
                    ++cursor;
                } while (cursor < end && static_cast<unsigned char>(*cursor) >= 0x80);
                blockShown = true;
                visitor.Text(start, cursor, characters);
                break;
            }
            case kLineBreak:
                ++cursor;
                break;
            case kEntity: {
                const void* semicolon =
                    std::memchr(cursor, ';', static_cast<std::size_t>(end - cursor));
                cursor = semicolon ? static_cast<const char*>(semicolon) + 1 : end;
                blockShown = true;
                visitor.Text(start, cursor, 1);
                break;
            }
            case kTagOpen: {
                const void* close =
                    std::memchr(cursor, '>', static_cast<std::size_t>(end - cursor));
                const char* tagEnd = close ? static_cast<const char*>(close) : end;
                const char* name = cursor + 1;
                if (name < tagEnd && *name == '/') ++name;
                const char* nameEnd = name;
                while (nameEnd < tagEnd && *nameEnd != ' ' && *nameEnd != '/') ++nameEnd;
                cursor = close ? tagEnd + 1 : end;
                if (IsBlockElement(
                        std::string_view(name, static_cast<std::size_t>(nameEnd - name)))) {
                    blockShown = false;
                    visitor.BlockEnd();
                } else {
                    visitor.Tag(std::string_view(start, static_cast<std::size_t>(cursor - start)));
                }
                break;
            }
        }
    }
    visitor.BlockEnd();
}

}  // namespace quirtle::counts
