// Every element name and fixed piece of markup that differs between the two outputs.
// A conversion picks one table at its start and never asks for the mode again.
#pragma once

#include <string_view>

#include "OutputMode.h"
#include "PaddedPiece.h"
#include "TextEncoding.h"

namespace quirtle {

struct Spellings {
    // The pieces written for every paragraph and every inline element, padded for one move.
    using Piece = PaddedPiece<32>;

    std::string_view documentStart;  // written before the first line
    std::string_view documentEnd;    // written after the last element is closed

    // Sections. A non-empty class prefix gives every section without a class of its
    // own the class prefix + depth; the heading name is followed by the depth when
    // `numberedHeading` is set ("h2").
    std::string_view section;
    std::string_view sectionClassPrefix;
    std::string_view heading;
    bool numberedHeading;

    // Containers of list-like lines and their items.
    std::string_view list;
    std::string_view listItem;
    std::string_view definitionList;
    std::string_view definitionTerm;
    std::string_view definitionDescription;
    std::string_view quotationItem;  // the container is "blockquote" in both
    std::string_view divisionItem;
    Piece paragraphStart;  // whole tags: paragraphs are the commonest line
    Piece paragraphEnd;
    // Whether block start tags carry the param attributes of their head.
    bool blockParams;

    // One-line commands: prefix, the start tag (markup or shown as text), "</" + name,
    // suffix.
    std::string_view commandLinePrefix;
    bool commandTagShown;
    std::string_view commandLineSuffix;

    // Ruby: rubyOpen + [reading] + rubyOpenEnd, base text, rubyClose + [reading] +
    // rubyCloseEnd; the reading goes where `readingInOpening` says.
    Piece rubyOpen;
    Piece rubyOpenEnd;
    Piece rubyClose;
    Piece rubyCloseEnd;
    bool readingInOpening;

    // Inline commands: prefix + start tag, body, closeStart + name + closeEnd.
    Piece inlineCommandPrefix;
    bool inlineTagShown;
    Piece inlineCommandCloseStart;
    Piece inlineCommandCloseEnd;
};

inline constexpr Spellings htmlSpellings{
    .documentStart = "",
    .documentEnd = "",
    .section = "div",
    .sectionClassPrefix = "section_",
    .heading = "h",
    .numberedHeading = true,
    .list = "ul",
    .listItem = "li",
    .definitionList = "dl",
    .definitionTerm = "dt",
    .definitionDescription = "dd",
    .quotationItem = "p",
    .divisionItem = "div",
    .paragraphStart = "<p>",
    .paragraphEnd = "</p>\r\n",
    .blockParams = false,
    .commandLinePrefix = "<pre class=\"oneline_command\">",
    .commandTagShown = true,
    .commandLineSuffix = "></pre>\r\n",
    .rubyOpen = "<ruby><rb>",
    .rubyOpenEnd = "",
    .rubyClose = "</rb><rp>(</rp><rt>",
    .rubyCloseEnd = "</rt><rp>)</rp></ruby>",
    .readingInOpening = false,
    .inlineCommandPrefix = "<span class=\"inline_command\">",
    .inlineTagShown = true,
    .inlineCommandCloseStart = "&lt;/",
    .inlineCommandCloseEnd = "&gt;</span>",
};

inline constexpr Spellings xmlSpellings{
    .documentStart = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><document>",
    .documentEnd = "</document>\r\n",
    .section = "section",
    .sectionClassPrefix = "",
    .heading = "heading",
    .numberedHeading = false,
    .list = "list",
    .listItem = "litem",
    .definitionList = "dlist",
    .definitionTerm = "dterm",
    .definitionDescription = "ddesc",
    .quotationItem = "blockquote_inner",
    .divisionItem = "div_inner",
    .paragraphStart = "<paragraph>",
    .paragraphEnd = "</paragraph>\r\n",
    .blockParams = true,
    .commandLinePrefix = "",
    .commandTagShown = false,
    .commandLineSuffix = ">\r\n",
    .rubyOpen = "<ruby param0=\"",
    .rubyOpenEnd = "\">",
    .rubyClose = "</ruby>",
    .rubyCloseEnd = "",
    .readingInOpening = true,
    .inlineCommandPrefix = "",
    .inlineTagShown = false,
    .inlineCommandCloseStart = "</",
    .inlineCommandCloseEnd = ">\r\n",
};

// The export of a UTF-8 manuscript, which is written in UTF-8 and declared so.
inline constexpr Spellings xmlUtf8Spellings = [] {
    Spellings spellings = xmlSpellings;
    spellings.documentStart = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><document>";
    return spellings;
}();

constexpr const Spellings& SpellingsOf(OutputMode mode,
                                       TextEncoding encoding = TextEncoding::ShiftJis) {
    if (mode != OutputMode::Xml) {
        return htmlSpellings;
    }
    return encoding == TextEncoding::Utf8 ? xmlUtf8Spellings : xmlSpellings;
}

}  // namespace quirtle
