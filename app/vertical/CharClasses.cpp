#include "vertical/CharClasses.h"

namespace quirtle::vertical {

namespace {

bool IsSmallKana(char32_t c) {
    switch (c) {
        case U'ぁ':
        case U'ぃ':
        case U'ぅ':
        case U'ぇ':
        case U'ぉ':
        case U'っ':
        case U'ゃ':
        case U'ゅ':
        case U'ょ':
        case U'ゎ':
        case U'ゕ':
        case U'ゖ':
        case U'ァ':
        case U'ィ':
        case U'ゥ':
        case U'ェ':
        case U'ォ':
        case U'ッ':
        case U'ャ':
        case U'ュ':
        case U'ョ':
        case U'ヮ':
        case U'ヵ':
        case U'ヶ':
            return true;
        default:
            return c >= 0x31F0 && c <= 0x31FF;  // small katakana for Ainu
    }
}

bool IsClosing(char32_t c) {
    switch (c) {
        case U'、':
        case U'。':
        case U'，':
        case U'．':
        case U'」':
        case U'』':
        case U'）':
        case U'】':
        case U'〕':
        case U'〉':
        case U'》':
        case U'］':
        case U'｝':
        case U'〙':
        case U'〗':
        case U'〟':
        case U'’':
        case U'”':
            return true;
        default:
            return false;
    }
}

}  // namespace

Glyph GlyphOf(char32_t c) {
    if (c == U'、' || c == U'。' || c == U'，' || c == U'．') return Glyph::Comma;
    if (IsSmallKana(c)) return Glyph::Small;
    if (c > 0x20 && c < 0x7F) return Glyph::Sideways;
    if (c >= 0xFF61 && c <= 0xFF9F) return Glyph::Upright;  // half-width katakana
    if (VerticalForm(c) != 0) return Glyph::Turned;
    switch (c) {
        case U'ー':
        case U'～':
        case U'－':
        case U'＝':
        case U'〜':
        case U'→':
        case U'←':
        case U'＜':
        case U'＞':
        case U'≪':
        case U'≫':
        case U'：':
        case U'；':
        case U'＿':
        case U'｜':
        case U'─':
        case U'＾':
            return Glyph::Turned;
        default:
            return Glyph::Upright;
    }
}

bool NeverStartsColumn(char32_t c) {
    return IsClosing(c) || IsSmallKana(c) || c == U'ー' || c == U'・' || c == U'！' || c == U'？' ||
           c == U'‼' || c == U'⁉' || c == U'ゝ' || c == U'ゞ' || c == U'ヽ' || c == U'ヾ' ||
           c == U'々';
}

bool MayHang(char32_t c) {
    return IsClosing(c);
}

char32_t VerticalForm(char32_t c) {
    switch (c) {
        case U'，':
            return 0xFE10;
        case U'、':
            return 0xFE11;
        case U'。':
            return 0xFE12;
        case U'：':
            return 0xFE13;
        case U'；':
            return 0xFE14;
        case U'！':
            return 0;  // upright in vertical text already
        case U'〖':
            return 0xFE17;
        case U'〗':
            return 0xFE18;
        case U'…':
            return 0xFE19;
        case U'‥':
            return 0xFE30;
        case U'—':
        case U'―':
            return 0xFE31;
        case U'–':
            return 0xFE32;
        case U'＿':
            return 0xFE33;
        case U'（':
            return 0xFE35;
        case U'）':
            return 0xFE36;
        case U'｛':
            return 0xFE37;
        case U'｝':
            return 0xFE38;
        case U'〔':
            return 0xFE39;
        case U'〕':
            return 0xFE3A;
        case U'【':
            return 0xFE3B;
        case U'】':
            return 0xFE3C;
        case U'《':
            return 0xFE3D;
        case U'》':
            return 0xFE3E;
        case U'〈':
            return 0xFE3F;
        case U'〉':
            return 0xFE40;
        case U'「':
            return 0xFE41;
        case U'」':
            return 0xFE42;
        case U'『':
            return 0xFE43;
        case U'』':
            return 0xFE44;
        case U'［':
            return 0xFE47;
        case U'］':
            return 0xFE48;
        default:
            return 0;
    }
}

}  // namespace quirtle::vertical
