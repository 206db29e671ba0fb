// The two encodings agree: a manuscript that Shift_JIS can hold, converted from its
// Shift_JIS bytes and the result recoded to UTF-8, gives exactly what converting its UTF-8
// bytes as UTF-8 gives (the XML declaration aside), in both outputs.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "ConverterTestSupport.h"
#include "Recode.h"

namespace quirtle {
namespace {

using testing::ShiftJisToUtf8;
using testing::Utf8ToShiftJis;

constexpr std::string_view utf8Prolog = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
constexpr std::string_view shiftJisProlog = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";

// Splits UTF-8 text into its characters.
std::vector<std::string> Characters(std::string_view text) {
    std::vector<std::string> characters;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        characters.emplace_back(text.substr(i, length));
        i += length;
    }
    return characters;
}

// Writes random manuscripts, heavy with markup, from characters that Shift_JIS holds and
// that come back unchanged from it (CP932 maps a few, such as U+301C, elsewhere).
class ManuscriptMaker {
  public:
    explicit ManuscriptMaker(unsigned seed) : random(seed) {
        // Kana and kanji whose second Shift_JIS byte is "\" "[" "]" "_" "{" "|" "}" or "@"
        // (ソ 表 能 十 ボ ポ マ ゼ ...), full-width and half-width forms, punctuation.
        text = Keep(Characters(
            "あいうえおかがきぎゃゅょっをんアイウエオカガキギソゾタダチヂッツヅテデトド"
            "ナニヌネノハバパヒビピフブプヘベペホボポマミムメモャヤュユョヨラリルレロヮワヰヱヲンヴ"
            "表能十予構申噂貼暴圭欺竹箪貂蓮兎ゼ漢字雨駅傘父親読書吾輩猫名前見当薄暗記憶人間"
            "ＡＢＣａｂｃ０１２　、。「」『』（）・…ー！？＆＜＞＿＼［］｛｝＊＃"
            "ｱｲｳｶﾞﾊﾟｰｯｧ｡｢｣､･ﾞﾟ"));
        ascii = Characters("aZ09 .,'-/=+?!%$~^`@");
        nameCharacters = Keep(Characters("abcXYZ_-.:019漢字名前ソ表ｱｶﾞ・ー"));
    }

    std::string Manuscript() {
        std::string manuscript;
        const int lines = Pick(1, 40);
        for (int i = 0; i < lines; ++i) {
            manuscript += Line();
            const int end = Pick(0, 9);
            manuscript += end < 7 ? "\r\n" : end < 8 ? "\n" : "\r";
        }
        if (Pick(0, 3) == 0) {
            manuscript += Line();  // no line break after the last line
        }
        return manuscript;
    }

  private:
    std::vector<std::string> Keep(const std::vector<std::string>& characters) {
        std::vector<std::string> kept;
        for (const std::string& character : characters) {
            const auto shiftJis = Utf8ToShiftJis(character);
            if (shiftJis && ShiftJisToUtf8(*shiftJis) == character) {
                kept.push_back(character);
            }
        }
        EXPECT_GT(kept.size(), characters.size() * 9 / 10);
        return kept;
    }

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
    const std::string& Any(const std::vector<std::string>& from) {
        return from[static_cast<std::size_t>(Pick(0, static_cast<int>(from.size()) - 1))];
    }

    std::string Char() {
        const int kind = Pick(0, 19);
        if (kind < 12) {
            return Any(text);
        }
        if (kind < 16) {
            return Any(ascii);
        }
        static const std::vector<std::string> markup = {"&", "<", ">", "\"", "[", "]", "*",
                                                        "{", "}", "(", ")",  "#", ":", "|",
                                                        "!", "-", ";", "\t", "'"};
        return Any(markup);
    }

    std::string Plain(int most) {
        std::string plain;
        for (int i = Pick(0, most); i > 0; --i) {
            plain += Char();
        }
        return plain;
    }

    std::string Name() {
        const int kind = Pick(0, 15);
        if (kind == 0) {
            return "";
        }
        if (kind == 1) {
            return "1bad";  // not well formed
        }
        if (kind == 2) {
            return "a/b";
        }
        std::string name;
        for (int i = Pick(1, 4); i > 0; --i) {
            name += Any(nameCharacters);
        }
        return name;
    }

    std::string ClassAndId() {
        switch (Pick(0, 6)) {
            case 0:
                return "(" + Plain(3) + ")";
            case 1:
                return "(#" + Plain(3) + ")";
            case 2:
                return "(" + Plain(2) + "#" + Plain(2) + ")";
            case 3:
                return "(" + Plain(2);  // not closed
            default:
                return "";
        }
    }

    std::string Params() {
        std::string params;
        for (int i = Pick(0, 3); i > 0; --i) {
            params += " ";
            if (Pick(0, 1) == 0) {
                params.append("\"").append(Plain(3));
                params.append(Pick(0, 3) == 0 ? "\\\"" : "");
                params.append(Pick(0, 7) == 0 ? "" : "\"");
            } else {
                params += Plain(3);
            }
        }
        return params;
    }

    std::string Head() { return Name() + ClassAndId() + Params(); }

    std::string Inline(int depth) {
        std::string inlineText;
        for (int i = Pick(0, 6); i > 0; --i) {
            const int kind = Pick(0, 11);
            if (kind < 5 || depth > 3) {
                inlineText += Plain(4);
            } else if (kind < 7) {
                inlineText += "\\" + (Pick(0, 9) == 0 ? std::string() : Char());
            } else {
                inlineText += "_" + Inline(depth + 1);
                switch (Pick(0, 4)) {
                    case 0:
                        inlineText += "[" + Plain(3) + (Pick(0, 5) == 0 ? "\\]" : "") + "]";
                        break;
                    case 1:
                        inlineText += "*";
                        break;
                    case 2:
                        inlineText += "{" + Head() + (Pick(0, 7) == 0 ? "" : "}");
                        break;
                    case 3:
                        inlineText += "[" + Plain(3);  // no "]"
                        break;
                    default:
                        break;  // no closer
                }
            }
        }
        return inlineText;
    }

    std::string Line() {
        const auto markers = [&](char marker) { return std::string(Pick(1, 3), marker); };
        const std::string space = Pick(0, 9) == 0 ? "" : " ";
        switch (Pick(0, 12)) {
            case 0:
                return markers('*') + ClassAndId() + space + Inline(0);
            case 1:
                return markers('-') + ClassAndId() + space + Inline(0);
            case 2:
                return markers('!') + ClassAndId() + space + Inline(0) +
                       (Pick(0, 4) == 0 ? "" : ":") + Inline(0);
            case 3:
                return markers('>') + ClassAndId() + space + Inline(0);
            case 4:
                return markers('|') + (Pick(0, 1) == 0 ? "{" + Head() + "}" : "") + space +
                       Inline(0);
            case 5:
                return ":" + Head();
            case 6:
                return (Pick(0, 1) == 0 ? "#" : ";") + Plain(5);
            case 7:
                return "";
            default:
                return Inline(0);
        }
    }

    std::mt19937 random;
    std::vector<std::string> text;
    std::vector<std::string> ascii;
    std::vector<std::string> nameCharacters;
};

std::string Convert(std::string_view text, OutputMode mode, TextEncoding encoding) {
    std::string result;
    EXPECT_GE(ConvertManuscript(text, mode, result, encoding), 0);
    return result;
}

// Where `actual` first differs from `expected`, with some text on either side.
std::string FirstDifference(std::string_view expected, std::string_view actual) {
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) {
        ++at;
    }
    const std::size_t from = at > 60 ? at - 60 : 0;
    return "at byte " + std::to_string(at) +
           "\n  expected: " + std::string(expected.substr(from, 120)) +
           "\n  actual:   " + std::string(actual.substr(from, 120));
}

// Converts the Shift_JIS bytes `shiftJis` and their UTF-8 recoding `utf8` in both modes
// and checks that the results agree.
void ExpectAgreement(std::string_view shiftJis, std::string_view utf8, const std::string& what) {
    for (OutputMode mode : {OutputMode::Html, OutputMode::Xml}) {
        std::string fromShiftJis = Convert(shiftJis, mode, TextEncoding::ShiftJis);
        const std::string fromUtf8 = Convert(utf8, mode, TextEncoding::Utf8);
        if (mode == OutputMode::Xml) {
            ASSERT_TRUE(fromShiftJis.starts_with(shiftJisProlog));
            ASSERT_TRUE(fromUtf8.starts_with(utf8Prolog));
            fromShiftJis.replace(0, shiftJisProlog.size(), utf8Prolog);
        }
        const auto recoded = ShiftJisToUtf8(fromShiftJis);
        ASSERT_TRUE(recoded.has_value()) << what;
        ASSERT_TRUE(*recoded == fromUtf8)
            << what << (mode == OutputMode::Xml ? " (XML) " : " (HTML) ")
            << FirstDifference(*recoded, fromUtf8);
    }
}

TEST(Utf8Agreement, GeneratedManuscripts) {
    ManuscriptMaker maker(2027);
    for (int round = 0; round < 400; ++round) {
        const std::string utf8 = maker.Manuscript();
        const auto shiftJis = Utf8ToShiftJis(utf8);
        ASSERT_TRUE(shiftJis.has_value()) << utf8;
        ASSERT_EQ(ShiftJisToUtf8(*shiftJis), utf8);
        ExpectAgreement(*shiftJis, utf8, utf8);
        if (::testing::Test::HasFatalFailure()) {
            return;
        }
    }
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The sample and the test manuscripts of the repository, and the novels beside it when
// they are there.
TEST(Utf8Agreement, RealManuscripts) {
    std::vector<std::filesystem::path> paths = {
        QUIRTLE_SAMPLE_MANUSCRIPT, std::string(QUIRTLE_TESTDATA_DIR) + "/manuscript.txt"};
    const std::filesystem::path novels =
        std::filesystem::path(QUIRTLE_SAMPLE_MANUSCRIPT).parent_path() / "../../shared/realtext";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(novels, error)) {
        if (entry.path().extension() == ".txt") {
            paths.push_back(entry.path());
        }
    }
    for (const auto& path : paths) {
        const std::string shiftJis = ReadFile(path);
        ASSERT_FALSE(shiftJis.empty()) << path;
        const auto utf8 = ShiftJisToUtf8(shiftJis);
        ASSERT_TRUE(utf8.has_value()) << path;
        ExpectAgreement(shiftJis, *utf8, path.string());
    }
}

}  // namespace
}  // namespace quirtle
