// 外字注記: characters 青空文庫 texts describe in an annotation, by JIS X 0213
// plane-row-cell or by Unicode code point.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quirtle::importer {

// The character(s) of JIS X 0213 plane 1 or 2, row and cell 1 to 94; nothing for a code
// with no character.
std::optional<std::u32string> JisX0213Character(int plane, int row, int cell);

// The character an annotation's text (between "［＃" and "］") names: a part after a
// "、" such as "第3水準1-84-77", "1-6-84" or "U+20B9F". Nothing when it names none.
std::optional<std::u32string> GaijiCharacter(std::u32string_view annotation);

// A number written in half- or full-width digits; nothing for anything else.
std::optional<int> ParseNumber(std::u32string_view digits);

}  // namespace quirtle::importer
