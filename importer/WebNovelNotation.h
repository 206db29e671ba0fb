// The notations of the web-novel sites: カクヨム and 小説家になろう.
#pragma once

#include <string_view>

#include "InlineText.h"
#include "MarkupWriter.h"

namespace quirtle::importer {

struct WebNovelRules {
    std::size_t maxBase;         // characters of a ruby's base
    std::size_t maxReading;      // characters of a reading
    bool doubleBracketEmphasis;  // 《《text》》 sets emphasis dots (カクヨム)
    bool parenthesisRuby;  // 漢字（かんじ） and 漢字(かんじ) with kana readings (なろう)
    bool dotRubyEmphasis;  // a ruby of one "・" per character is emphasis (なろう)
};

inline constexpr WebNovelRules kKakuyomuRules{20, 50, true, false, false};
inline constexpr WebNovelRules kNarouRules{10, 10, false, true, true};

// One line of such a text as inline nodes (ruby never crosses a line end).
InlineLine ReadWebNovelLine(std::u32string_view line, const WebNovelRules& rules);

// A whole text: one paragraph per line, blank lines kept.
void ReadWebNovelText(std::u32string_view text, const WebNovelRules& rules, MarkupWriter& writer);

}  // namespace quirtle::importer
