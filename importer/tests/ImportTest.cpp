// The importer on tables of notation, and the conservation of the text through the
// markup and the converter.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ConvertManuscript.h"
#include "Import.h"
#include "ShiftJisOutput.h"
#include "SourceText.h"
#include "Unicode.h"

namespace quirtle::importer {
namespace {

// The manuscript of `source` with '\n' for its line breaks.
std::string Imported(std::string_view source, Notation notation) {
    const std::optional<DecodedSource> decoded = DecodeSource(source);
    EXPECT_TRUE(decoded.has_value()) << source;
    if (!decoded) return {};
    std::string markup = ImportText(decoded->text, notation);
    std::string lines;
    for (std::size_t i = 0; i < markup.size(); ++i) {
        if (markup[i] == '\r' && i + 1 < markup.size() && markup[i + 1] == '\n') continue;
        lines += markup[i];
    }
    if (!lines.empty() && lines.back() == '\n') lines.pop_back();
    return lines;
}

std::string Repeat(std::string_view text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    return out;
}

struct Case {
    std::string source;
    std::string markup;
};

void ExpectAll(const std::vector<Case>& cases, Notation notation) {
    for (const Case& c : cases) {
        EXPECT_EQ(Imported(c.source, notation), c.markup) << "source: " << c.source;
    }
}

TEST(ImportKakuyomu, RubyEmphasisAndLimits) {
    ExpectAll(
        {
            {"漢字《かんじ》", "_漢字[かんじ]"},
            {"ひらがな漢字《かんじ》", "ひらがな_漢字[かんじ]"},  // kana | kanji
            {"カナ佐々木《ささき》", "カナ_佐々木[ささき]"},      // 々 in the run
            {"〆切ヶ月〇《しめ》", "_〆切ヶ月〇[しめ]"},
            {"ＡＢ漢《かん》", "ＡＢ_漢[かん]"},
            {"カタカナ《かたかな》", "カタカナ《かたかな》"},  // bare ruby takes kanji only
            {"｜カタカナ《かたかな》", "_カタカナ[かたかな]"},
            {"|ABC《えー》", "_ABC[えー]"},
            {"一番｜獰悪《どうあく》", "一番_獰悪[どうあく]"},
            {"｜《あ》と|《い》", "《あ》と《い》"},  // a bar before 《 writes it
            {"漢字《》", "漢字《》"},
            {"｜" + Repeat("字", 20) + "《じ》", "_" + Repeat("字", 20) + "[じ]"},
            {"｜" + Repeat("字", 21) + "《じ》", "｜" + Repeat("字", 21) + "《じ》"},
            {Repeat("字", 21) + "《じ》", Repeat("字", 21) + "《じ》"},
            {"字《" + Repeat("あ", 50) + "》", "_字[" + Repeat("あ", 50) + "]"},
            {"字《" + Repeat("あ", 51) + "》", "字《" + Repeat("あ", 51) + "》"},
            {"｜漢字\n《かんじ》", "｜漢字\n《かんじ》"},  // never across lines
            {"《《強調》》した", "_強調*した"},
            {"《《閉じない", "《《閉じない"},
            {"漢字（かんじ）", "漢字（かんじ）"},  // not カクヨム's notation
        },
        Notation::Kakuyomu);
}

TEST(ImportNarou, ParenthesisRubyAndDotEmphasis) {
    ExpectAll(
        {
            {"漢字（かんじ）", "_漢字[かんじ]"},
            {"漢字(カンジ)", "_漢字[カンジ]"},
            {"漢字（感じ）", "漢字（感じ）"},          // only kana readings
            {"ひらがな（かな）", "ひらがな（かな）"},  // only after kanji
            {"字（" + Repeat("あ", 10) + "）", "_字[" + Repeat("あ", 10) + "]"},
            {"字（" + Repeat("あ", 11) + "）", "字（" + Repeat("あ", 11) + "）"},
            {Repeat("字", 10) + "《じ》", "_" + Repeat("字", 10) + "[じ]"},
            {Repeat("字", 11) + "《じ》", Repeat("字", 11) + "《じ》"},
            {"｜" + Repeat("字", 11) + "《じ》", "｜" + Repeat("字", 11) + "《じ》"},
            {"｜傍《・》｜点《・》を", "_傍点*を"},
            {"｜傍点《・・》", "_傍点*"},
            {"｜（かっこ）", "（かっこ）"},
            {"《《強調》》", "《《強調》》"},  // no emphasis notation
        },
        Notation::Narou);
}

TEST(ImportAozora, RubyAtEveryKindBoundary) {
    ExpectAll(
        {
            {"漢字かな《よみ》", "漢字_かな[よみ]"},
            {"かなカナ《よみ》", "かな_カナ[よみ]"},
            {"カナ漢字《よみ》", "カナ_漢字[よみ]"},
            {"漢字ＡＢＣ《えー》", "漢字_ＡＢＣ[えー]"},
            {"ＡＢabc《えー》", "ＡＢ_abc[えー]"},
            {"abc漢《かん》", "abc_漢[かん]"},
            {"、《よみ》", "、《よみ》"},  // no base: text
            {"一番｜獰悪《どうあく》", "一番_獰悪[どうあく]"},
            {"ルビ《よみ》の後《あと》", "_ルビ[よみ]の_後[あと]"},
        },
        Notation::Aozora);
}

TEST(ImportAozora, Annotations) {
    ExpectAll(
        {
            {"猫［＃「猫」に傍点］だ", "_猫*だ"},
            {"猫だ［＃「猫」に傍点］", "_猫*だ"},  // found earlier in the line
            {"吾輩《わがはい》［＃「吾輩」に傍点］", "__吾輩[わがはい]*"},
            {"［＃傍点］ここ［＃傍点終わり］まで", "_ここ*まで"},
            {"［＃白ゴマ傍点］ここ［＃白ゴマ傍点終わり］", "_ここ*"},
            {"12［＃「12」は縦中横］月", "_12{tcy}月"},
            {"［＃改ページ］", ":pagebreak"},
            {"前［＃改丁］後", "前\n:pagebreak\n後"},
            {"［＃８字下げ］一［＃「一」は中見出し］", "** 一"},
            {"序［＃「序」は大見出し］", "* 序"},
            {"［＃小見出し］節［＃小見出し終わり］", "*** 節"},
            {"本文［＃「本」は中見出し］", "本文［＃「本」は中見出し］"},  // not the whole line
            {"バック［＃「バック」は底本では「バッグ」］",
             "バック［＃「バック」は底本では「バッグ」］"},
            {"［＃地から２字上げ］署名", "［＃地から２字上げ］署名"},
            {"※［＃「てへん＋劣」、第3水準1-84-77］", "挘"},
            {"※［＃「言＋墟のつくり」、第4水準2-88-74］", "譃"},
            {"※［＃小書き片仮名ヒ、1-6-84］", "ㇶ"},
            {"※［＃「口＋七」、U+20B9F、206-1］る", "𠮟る"},
            {"※［＃感嘆符三つ、626-10］", "※［＃感嘆符三つ、626-10］"},
            {"※印", "※印"},
            {"※［＃「てへん＋劣」、第3水準1-84-77］《よみ》", "_挘[よみ]"},
            {"［＃ここから２字下げ］\n一行\n二行\n［＃ここで字下げ終わり］\n三行",
             "|{indent 2} 一行\n| 二行\n三行"},
            {"［＃ここから１字下げ］\n一\n\n二\n［＃ここで字下げ終わり］",
             "|{indent 1} 一\n\n|{indent 1} 二"},
            {"［＃２字下げ］一行だけ", "|{indent 2} 一行だけ"},
            {"［＃ここから１字下げ］\n一\n［＃ここで字下げ終わり］\n［＃ここから３字下げ］\n三",
             "|{indent 1} 一\n\n|{indent 3} 三"},
        },
        Notation::Aozora);
}

TEST(ImportAozora, HeaderLegendAndColophon) {
    const std::string source =
        "吾輩は猫である\r\n夏目漱石\r\n\r\n-------------------------------------------------------"
        "\r\n"
        "【テキスト中に現れる記号について】\r\n\r\n《》：ルビ\r\n（例）吾輩《わがはい》\r\n"
        "-------------------------------------------------------\r\n\r\n本文。\r\n\r\n"
        "底本：「全集」\r\n";
    EXPECT_EQ(Imported(source, Notation::Aozora),
              ":title 吾輩は猫である\n:author 夏目漱石\n\n本文。\n\n底本：「全集」");
    // A first paragraph is no header.
    EXPECT_EQ(Imported("　これは本文である。\n\n次", Notation::Aozora),
              "　これは本文である。\n\n次");
    EXPECT_EQ(Imported("A Title\nAuthor\n\nx", Notation::Aozora),
              ":title \"A Title\"\n:author Author\n\nx");
}

TEST(ImportEscapes, MarkupCharactersStayText) {
    for (Notation notation : {Notation::Aozora, Notation::Kakuyomu, Notation::Narou}) {
        ExpectAll(
            {
                {"*見出しではない", "\\*見出しではない"},
                {"- 項目", "\\- 項目"},
                {"! 定義: 説明", "\\! 定義: 説明"},
                {"> 引用", "\\> 引用"},
                {":command", "\\:command"},
                {"# comment", "\\# comment"},
                {"; comment", "\\; comment"},
                {" *space first", " *space first"},
                {"a_b\\c*[d]{e}", "a\\_b\\\\c*[d]{e}"},
                {"_x*", "\\_x*"},
            },
            notation);
    }
    ExpectAll({{"|*x", "\\|*x"}}, Notation::Aozora);
    ExpectAll({{"｜a[b]*{c_\\《よ]_\\み》", "_a\\[b]\\*\\{c\\_\\\\[よ\\]\\_\\\\み]"}},
              Notation::Kakuyomu);
}

TEST(ImportSource, EncodingsAndGuess) {
    // UTF-8 with and without a byte-order mark, and Shift_JIS, give the same text.
    const std::string utf8 = "漢字《かんじ》\n";
    const std::string sjis = "\x8a\xbf\x8e\x9a\x81\x73\x82\xa9\x82\xf1\x82\xb6\x81\x74\n";
    EXPECT_EQ(DecodeSource(utf8)->encoding, SourceEncoding::Utf8);
    EXPECT_EQ(DecodeSource("\xEF\xBB\xBF" + utf8)->text, DecodeSource(utf8)->text);
    EXPECT_EQ(DecodeSource(sjis)->encoding, SourceEncoding::ShiftJis);
    EXPECT_EQ(DecodeSource(sjis)->text, DecodeSource(utf8)->text);
    int badLine = 0;
    EXPECT_FALSE(DecodeSource("a\nb\n\x81\x20", &badLine).has_value());
    EXPECT_EQ(badLine, 3);

    const std::vector<std::pair<std::string, Notation>> guesses = {
        {"本文［＃「本」に傍点］", Notation::Aozora},
        {"｜漢字《かんじ》と《《強調》》と漢字（かんじ）", Notation::Kakuyomu},
        {"｜漢字《かんじ》", Notation::Kakuyomu},
        {"漢字（かんじ）と｜漢字《かんじ》", Notation::Narou},
        {"ただの文（注記）", Notation::Kakuyomu},
    };
    for (const auto& [text, notation] : guesses) {
        EXPECT_EQ(GuessNotation(DecodeSource(text)->text), notation) << text;
    }

    // Shift_JIS output refuses what it cannot hold, and what it would change.
    EXPECT_TRUE(EncodeShiftJis("漢字\r\n").ok);
    for (const auto& [text, character, line] : std::vector<std::tuple<std::string, char32_t, int>>{
             {"a\r\nb𠮟", U'𠮟', 2}, {"x\r\ny\r\n¥100", U'¥', 3}, {"——", U'—', 1}}) {
        const ShiftJisResult result = EncodeShiftJis(text);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.character, character) << text;
        EXPECT_EQ(result.line, line) << text;
    }
}

// ---------------------------------------------------------------------------------------
// Conservation: the characters of the source that are not notation are the character
// data of the export XML (a ruby's reading right after its base), in order.

std::string Utf8FromShiftJis(const std::string& bytes) {
    const std::optional<DecodedSource> decoded = DecodeSource(bytes);
    return decoded ? EncodeUtf8(decoded->text) : std::string();
}

// The text of the XML as a reader meets it: tags dropped, entities read, each ruby's
// reading after its base; one-line commands carry no text.
std::string XmlText(const std::string& xml) {
    std::string text;
    std::vector<std::string> readings;
    const auto unescape = [](std::string value) {
        std::string out;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] != '&') {
                out += value[i];
                continue;
            }
            const std::size_t end = value.find(';', i);
            const std::string entity = value.substr(i, end - i + 1);
            out += entity == "&amp;" ? "&" : entity == "&lt;" ? "<" : entity == "&gt;" ? ">" : "\"";
            i = end;
        }
        return out;
    };
    std::size_t i = xml.find("<document>");
    while (i < xml.size()) {
        if (xml[i] == '<') {
            const std::size_t end = xml.find('>', i);
            const std::string tag = xml.substr(i, end - i + 1);
            if (tag.rfind("<ruby param0=\"", 0) == 0) {
                readings.push_back(unescape(tag.substr(14, tag.size() - 16)));
            } else if (tag == "</ruby>") {
                text += readings.back();
                readings.pop_back();
            }
            i = end + 1;
            continue;
        }
        const std::size_t next = xml.find('<', i);
        std::string piece = unescape(xml.substr(i, next - i));
        for (char c : piece) {
            if (c != '\r' && c != '\n') text += c;
        }
        i = next;
    }
    return text;
}

// A random source and the text it holds, from pieces that are text or notation.
struct Generated {
    std::string source;
    std::string text;  // what a reader reads, readings after their bases
    int rubies = 0;
    int emphases = 0;
};

Generated Generate(Notation notation, std::mt19937& random) {
    // A bar is notation in the web-novel sites' texts, but text in 青空文庫's.
    const bool barIsText = notation == Notation::Aozora;
    std::vector<std::string> plain = {
        "漢", "字", "かな", "カナ", "ＡＢ", "ab", "、", "。", "　", " ", "_", "\\", "*",  "[",
        "]",  "{",  "}",    "&",    "<",    ">",  "\"", "-",  "!",  ":", "#", ";",  "（", "）"};
    std::vector<std::string> lineStarts = {"*", "-", "!", ">", ":", "#", ";", " ", "　", "_", "\\"};
    if (barIsText) {
        plain.push_back("|x");
        lineStarts.push_back("|");
    }
    Generated g;
    const auto pick = [&](const std::vector<std::string>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
    };
    const int lines = std::uniform_int_distribution<int>(1, 6)(random);
    for (int line = 0; line < lines; ++line) {
        if (line > 0) g.source += "\r\n";
        if (notation == Notation::Aozora && random() % 4 == 0) {
            // A line of 青空文庫 notation alone: none of it is text but a heading's.
            const std::vector<std::pair<std::string, std::string>> notes = {
                {"［＃ここから２字下げ］", ""},
                {"［＃ここで字下げ終わり］", ""},
                {"［＃改ページ］", ""},
                {"［＃３字下げ］行", "行"},
                {"第一章［＃「第一章」は中見出し］", "第一章"},
                {"［＃大見出し］序［＃大見出し終わり］", "序"},
                {"※［＃「さんずい＋英」、U+6F22、1-1］と※［＃「亜」、1-16-1］", "漢と亜"}};
            const auto& [source, text] =
                notes[std::uniform_int_distribution<std::size_t>(0, notes.size() - 1)(random)];
            g.source += source;
            g.text += text;
            continue;
        }
        if (random() % 3 == 0) {
            const std::string start = pick(lineStarts);
            g.source += start;
            g.text += start;
        }
        const int pieces = std::uniform_int_distribution<int>(0, 8)(random);
        for (int p = 0; p < pieces; ++p) {
            const int kind = static_cast<int>(random() % 6);
            std::string base = pick({"漢字", "[x]", "a_b", "*", "{z}", "\\", "ルビ"});
            const std::string reading = pick({"よみ", "]", "_", "\\", "a b", "&"});
            if (notation == Notation::Narou && base.size() > 10) base = "漢字";
            if (kind == 0) {
                // A barred ruby: a kana first, so no earlier bar or run joins it.
                g.source += "の｜" + base + "《" + reading + "》";
                g.text += "の" + base + reading;
                ++g.rubies;
            } else if (kind == 1) {
                g.source += "の漢字《" + reading + "》";
                g.text += "の漢字" + reading;
                ++g.rubies;
            } else if (kind == 2 && notation == Notation::Kakuyomu) {
                g.source += "《《" + base + "》》";
                g.text += base;
                ++g.emphases;
            } else if (kind == 2 && notation == Notation::Aozora) {
                g.source += "の" + base + "［＃「" + base + "」に傍点］";
                g.text += "の" + base;
                ++g.emphases;
            } else if (kind == 2 && notation == Notation::Narou) {
                g.source += "の漢字（かんじ）";
                g.text += "の漢字かんじ";
                ++g.rubies;
            } else {
                const std::string text = pick(plain);
                g.source += text;
                g.text += text;
            }
        }
    }
    return g;
}

TEST(ImportConservation, SourceTextReachesTheXml) {
    std::mt19937 random(20261209);
    for (Notation notation : {Notation::Aozora, Notation::Kakuyomu, Notation::Narou}) {
        for (int round = 0; round < 300; ++round) {
            Generated g = Generate(notation, random);
            if (notation == Notation::Aozora) g.source = "\r\n" + g.source;  // no header
            const std::string markup = ImportText(DecodeSource(g.source)->text, notation);
            const ShiftJisResult manuscript = EncodeShiftJis(markup);
            ASSERT_TRUE(manuscript.ok) << g.source;
            std::string xml;
            ConvertManuscript(manuscript.bytes, OutputMode::Xml, xml);
            xml = Utf8FromShiftJis(xml);
            ASSERT_EQ(xml.find("incomplete"), std::string::npos) << g.source << "\n" << markup;
            EXPECT_EQ(XmlText(xml), g.text) << g.source << "\n" << markup;
            std::size_t rubies = 0;
            for (std::size_t at = xml.find("<ruby"); at != std::string::npos;
                 at = xml.find("<ruby", at + 1)) {
                ++rubies;
            }
            std::size_t emphases = 0;
            for (std::size_t at = xml.find("<em>"); at != std::string::npos;
                 at = xml.find("<em>", at + 1)) {
                ++emphases;
            }
            EXPECT_EQ(rubies, static_cast<std::size_t>(g.rubies)) << g.source << "\n" << markup;
            EXPECT_EQ(emphases, static_cast<std::size_t>(g.emphases)) << g.source;
        }
    }
}

}  // namespace
}  // namespace quirtle::importer
