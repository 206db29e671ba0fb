// The notation of 青空文庫 texts: title and author lines, the legend of the notation,
// ruby, and the ［＃…］ annotations for headings, emphasis, indents, 縦中横, page breaks
// and characters described by code (外字注記).
#pragma once

#include <string_view>

#include "MarkupWriter.h"

namespace quirtle::importer {

void ReadAozoraText(std::u32string_view text, MarkupWriter& writer);

}  // namespace quirtle::importer
