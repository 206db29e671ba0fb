// Counting a manuscript the way its readers and publishers count it: the characters a
// reader sees, and the 400-character manuscript pages those characters fill.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "TextEncoding.h"

namespace quirtle::counts {

// Characters per line and lines per page of a 400-character manuscript page.
inline constexpr std::size_t kColumnsPerLine = 20;
inline constexpr std::size_t kLinesPerPage = 20;

struct TextCounts {
    // Characters of the text as the reader sees it: headings, paragraphs, items,
    // quotations and divisions; ruby bases, not their readings; no markup, comments or
    // line breaks. A line the converter could not read counts as it is shown, whole.
    std::size_t characters = 0;
    // Lines of 20 characters: every text block starts on a new line after a one-character
    // indent.
    std::size_t lines = 0;
    // Pages of 20 lines; a page begun is a page.
    std::size_t pages = 0;

    bool operator==(const TextCounts&) const = default;
};

// Counts the text of an export document (XML as the converter writes it, in `encoding`).
// In UTF-8 every character counts one, also one beyond the Basic Multilingual Plane.
TextCounts CountExportDocument(std::string_view xml,
                               TextEncoding encoding = TextEncoding::ShiftJis);

// Converts a manuscript (bytes in `encoding`) and counts it; nothing when the conversion
// failed.
std::optional<TextCounts> CountManuscript(std::string_view manuscript,
                                          TextEncoding encoding = TextEncoding::ShiftJis);

// The lines a block of `characters` characters takes, its indent included; an empty
// block takes none.
constexpr std::size_t BlockLines(std::size_t characters) {
    return characters == 0 ? 0 : (characters + 1 + kColumnsPerLine - 1) / kColumnsPerLine;
}

constexpr std::size_t PagesForLines(std::size_t lines) {
    return (lines + kLinesPerPage - 1) / kLinesPerPage;
}

}  // namespace quirtle::counts
