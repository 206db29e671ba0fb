// Turning text written in the plain-text notation of 青空文庫 or of the web-novel sites
// カクヨム and 小説家になろう into a quirtle manuscript. The library needs the C++
// standard library and glibc iconv only.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quirtle::importer {

enum class Notation { Aozora, Kakuyomu, Narou };

// "aozora", "kakuyomu" or "narou".
std::optional<Notation> NotationFromName(std::string_view name);
const char* NotationName(Notation notation);

// The notation a text is most likely written in: 青空文庫 annotations (［＃…］) make it
// 青空文庫, ruby in parentheses after kanji (漢字（かんじ）) 小説家になろう unless カクヨム's
// emphasis 《《…》》 is there too; anything else カクヨム.
Notation GuessNotation(std::u32string_view text);

// The manuscript for `text`, as UTF-8 with CR LF line breaks. Every character of the
// text that is not notation is kept, in its order; characters the markup would read are
// escaped so that they stay text.
std::string ImportText(std::u32string_view text, Notation notation);

}  // namespace quirtle::importer
