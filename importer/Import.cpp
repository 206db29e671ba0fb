#include "Import.h"

#include "AozoraNotation.h"
#include "MarkupWriter.h"
#include "Unicode.h"
#include "WebNovelNotation.h"

namespace quirtle::importer {

std::optional<Notation> NotationFromName(std::string_view name) {
    if (name == "aozora") return Notation::Aozora;
    if (name == "kakuyomu") return Notation::Kakuyomu;
    if (name == "narou") return Notation::Narou;
    return std::nullopt;
}

const char* NotationName(Notation notation) {
    switch (notation) {
        case Notation::Aozora:
            return "aozora";
        case Notation::Kakuyomu:
            return "kakuyomu";
        case Notation::Narou:
            return "narou";
    }
    return "";
}

Notation GuessNotation(std::u32string_view text) {
    if (text.find(U"［＃") != std::u32string_view::npos) return Notation::Aozora;
    if (text.find(U"《《") != std::u32string_view::npos) return Notation::Kakuyomu;
    // Ruby in parentheses: kana only, right after a kanji.
    for (std::size_t i = 1; i < text.size(); ++i) {
        if ((text[i] != U'（' && text[i] != U'(') || !IsKanji(text[i - 1])) continue;
        const char32_t closer = text[i] == U'（' ? U'）' : U')';
        std::size_t j = i + 1;
        while (j < text.size() && j <= i + 11 && IsKana(text[j])) ++j;
        if (j > i + 1 && j < text.size() && text[j] == closer) return Notation::Narou;
    }
    return Notation::Kakuyomu;
}

std::string ImportText(std::u32string_view text, Notation notation) {
    MarkupWriter writer;
    switch (notation) {
        case Notation::Aozora:
            ReadAozoraText(text, writer);
            break;
        case Notation::Kakuyomu:
            ReadWebNovelText(text, kKakuyomuRules, writer);
            break;
        case Notation::Narou:
            ReadWebNovelText(text, kNarouRules, writer);
            break;
    }
    return writer.Utf8();
}

}  // namespace quirtle::importer
