// UTF-8 input: the declaration, the byte-order mark, names, and invalid UTF-8, which is
// read with each maximal invalid subpart replaced by U+FFFD.
#include <random>
#include <string>
#include <vector>

#include "ConverterTestSupport.h"
#include "StopScanner.h"
#include "Utf8Repair.h"

namespace quirtle {
namespace {

constexpr std::string_view fffd = "\xEF\xBF\xBD";

std::string Convert(std::string_view text, OutputMode mode,
                    TextEncoding encoding = TextEncoding::Utf8) {
    std::string result;
    EXPECT_GE(ConvertManuscript(text, mode, result, encoding), 0);
    return result;
}

TEST(Utf8Input, ExportIsDeclaredUtf8AndTheByteOrderMarkIsNotText) {
    EXPECT_EQ(Convert("", OutputMode::Xml),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><document></document>\r\n");
    // The mark is skipped at the start only, so the line after it is a section.
    EXPECT_EQ(Convert("\xEF\xBB\xBF* 章\r\n\xEF\xBB\xBF", OutputMode::Html),
              "<div class=\"section_1\"><h1>章</h1>\r\n<p>\xEF\xBB\xBF</p>\r\n</div>\r\n");
    EXPECT_EQ(Convert("\xEF\xBB\xBF", OutputMode::Html), "");
    // A cut-off mark is invalid text; in Shift_JIS the bytes are text as they are.
    EXPECT_EQ(Convert("\xEF\xBB", OutputMode::Html), "<p>" + std::string(fffd) + "</p>\r\n");
    EXPECT_EQ(Convert("\xEF\xBB\xBF* x", OutputMode::Html, TextEncoding::ShiftJis),
              "<p>\xEF\xBB\xBF* x</p>\r\n");
}

TEST(Utf8Input, ByteOrderMarkSplitBetweenPieces) {
    for (std::string_view first : {"", "\xEF", "\xEF\xBB"}) {
        std::string out;
        DocumentConverter converter(OutputMode::Html, out, TextEncoding::Utf8);
        EXPECT_EQ(converter.ConvertLines(first, false), 0u);
        const std::string rest =
            std::string(first) + std::string("\xEF\xBB\xBF- a\r\nb").substr(first.size());
        EXPECT_EQ(converter.ConvertLines(rest, false), rest.size() - 1);
        EXPECT_EQ(converter.ConvertLines("b", true), 1u);
        converter.Finish();
        EXPECT_EQ(out, "<ul><li>a</li>\r\n</ul>\r\n<p>b</p>\r\n");
    }
}

TEST(Utf8Input, ContinuationBytesAreNeverMarkup) {
    // Last bytes in the Shift_JIS lead ranges, and characters of four bytes.
    EXPECT_EQ(Convert("_あ{}_語{}_𠮟[しか]_😀*", OutputMode::Xml),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><document><paragraph><span>あ</span>\r\n"
              "<span>語</span>\r\n<ruby param0=\"しか\">𠮟</ruby><em>😀</em></paragraph>\r\n"
              "</document>\r\n");
    EXPECT_EQ(Convert("|{項目(組#番) \"𠮟 る\"} 剝がす\r\n:頰 ♡", OutputMode::Xml),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><document>"
              "<項目 class=\"組\" id=\"番\" param0=\"𠮟 る\"><div_inner>剝がす"
              "<div class=\"頰\"><頰 param0=\"♡\"></頰>\r\n</div>\r\n</div_inner>\r\n</項目>\r\n"
              "</document>\r\n");
}

TEST(Utf8Input, InvalidSequencesAreReplaced) {
    const std::string r(fffd);
    struct Case {
        std::string line;
        std::string text;  // the paragraph's text in the preview
    };
    const std::vector<Case> cases = {
        {"a\x80"
         "b",
         "a" + r + "b"},  // stray continuation byte
        {"\xE3\x81"
         "<",
         r + "&lt;"},                         // truncated before markup: one U+FFFD
        {"x\xE3\x81", "x" + r},               // truncated at the line's end
        {"\xC0\xAF", r + r},                  // overlong "/"
        {"\xE0\x80\xAF", r + r + r},          // overlong, three bytes
        {"\xED\xA0\x80", r + r + r},          // surrogate
        {"\xF4\x90\x80\x80", r + r + r + r},  // above U+10FFFF
        {"\xF5\xFF\xFE", r + r + r},          // never in UTF-8
        {"\xF0\x9F\x98"
         "&",
         r + "&amp;"},                   // an emoji cut off
        {"\xE3\x81\x82\x82", "あ" + r},  // one continuation byte too many
        {"_\xE3{}", "<span class=\"inline_command\">&lt;span&gt;" + r + "&lt;/span&gt;</span>"},
        {"_a[\xC3]", "<ruby><rb>a</rb><rp>(</rp><rt>" + r + "</rt><rp>)</rp></ruby>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Convert(c.line + "\r\n", OutputMode::Html), "<p>" + c.text + "</p>\r\n")
            << ::testing::PrintToString(c.line);
    }
}

TEST(Utf8Input, NamesMustBeValid) {
    const std::string r(fffd);
    // Valid names of any character; a name with an invalid sequence, or with U+FFFD
    // itself, rejects the line, which is shown repaired.
    EXPECT_EQ(Convert("|{𠮟る} x", OutputMode::Html), "<𠮟る><div>x</div>\r\n</𠮟る>\r\n");
    for (const std::string& line : {std::string("|{名\xFF} x"), std::string(":\xE3\x81"),
                                    std::string("_x{a\x80}"), "|{名" + r + "} x"}) {
        std::string shown = line;
        utf8::AppendRepaired(line, shown);
        shown.erase(0, line.size());
        EXPECT_EQ(Convert(line, OutputMode::Xml),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?><document>"
                  "<pre class=\"incomplete\">" +
                      DocumentConverter::EscapeText(shown) + "</pre>\r\n</document>\r\n")
            << ::testing::PrintToString(line);
        EXPECT_FALSE(DocumentConverter::IsWellFormedName(line.substr(line.find_first_of("{:") + 1),
                                                         TextEncoding::Utf8));
    }
    EXPECT_TRUE(DocumentConverter::IsWellFormedName("𠮟る_ｱ", TextEncoding::Utf8));
}

// Text made to hit every fault at every place in the 64-byte blocks of the classifier:
// valid characters of every length, markup, line ends, and stray, truncated and
// out-of-range bytes.
std::string RandomText(std::mt19937& random, std::size_t length) {
    static const std::vector<std::string> pieces = {"a",           " ",
                                                    "_",           "\\",
                                                    "[",           "]",
                                                    "*",           "{",
                                                    "}",           "&",
                                                    "<",           "\"",
                                                    ":",           "|",
                                                    "-",           "!",
                                                    "\r\n",        "\n",
                                                    "\r",          "é",
                                                    "あ",          "語",
                                                    "｡",           "𠮟",
                                                    "😀",           "\xEF\xBF\xBD",
                                                    "\x80",        "\xBF",
                                                    "\xC0",        "\xC1",
                                                    "\xC3",        "\xE3",
                                                    "\xE3\x81",    "\xE0\x80",
                                                    "\xE0\xA0",    "\xED\xA0",
                                                    "\xED\x9F",    "\xF0",
                                                    "\xF0\x8F",    "\xF0\x90\x80",
                                                    "\xF4\x90",    "\xF4\x8F\xBF",
                                                    "\xF5",        "\xFF",
                                                    "\xEF\xBB\xBF"};
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::string text;
    while (text.size() < length) {
        text += pieces[pick(random)];
    }
    return text;
}

// Decoding one character: the value and length of each valid form, nothing for the
// invalid ones (overlong, surrogate, beyond U+10FFFF, cut off, stray continuation).
TEST(Utf8Input, DecodeCharTable) {
    const struct {
        std::string_view bytes;
        char32_t value;
        std::size_t length;
    } cases[] = {
        {"A", U'A', 1},
        {"\xC3\xA9", U'\u00E9', 2},
        {"\xE3\x81\x82", U'\u3042', 3},
        {"\xF0\xA0\xAE\x9F", U'\U00020B9F', 4},
        {"\xC0\x80", 0, 0},
        {"\xED\xA0\x80", 0, 0},
        {"\xF4\x90\x80\x80", 0, 0},
        {"\xE3\x81", 0, 0},
        {"\x81", 0, 0},
    };
    for (const auto& c : cases) {
        char32_t value = 0;
        const std::size_t length =
            utf8::DecodeChar(c.bytes.data(), c.bytes.data() + c.bytes.size(), value);
        EXPECT_EQ(length, c.length) << ::testing::PrintToString(c.bytes);
        if (c.length != 0) EXPECT_EQ(value, c.value) << ::testing::PrintToString(c.bytes);
    }
}

// Whatever the bytes, the output is valid UTF-8 and is what the text with every invalid
// sequence replaced gives, also when the text comes in pieces.
TEST(Utf8Input, AnyBytesGiveValidUtf8AsTheRepairedTextDoes) {
    std::mt19937 random(27);
    for (int round = 0; round < 1500; ++round) {
        const std::string text = RandomText(random, round % 300);
        std::string repaired;
        utf8::AppendRepaired(text, repaired);
        ASSERT_TRUE(utf8::IsValid(repaired));
        for (OutputMode mode : {OutputMode::Html, OutputMode::Xml}) {
            const std::string out = Convert(text, mode);
            ASSERT_TRUE(utf8::IsValid(out)) << ::testing::PrintToString(text);
            // A mark at the start of the repaired text is not one the text started with.
            const bool markAdded =
                repaired.starts_with("\xEF\xBB\xBF") && !text.starts_with("\xEF\xBB\xBF");
            if (!markAdded) {
                ASSERT_EQ(out, Convert(repaired, mode)) << ::testing::PrintToString(text);
            }
            std::string pieces;
            DocumentConverter converter(mode, pieces, TextEncoding::Utf8);
            std::string pending;
            for (std::size_t at = 0; at < text.size(); at += 5) {
                pending.append(text, at, 5);
                pending.erase(0, converter.ConvertLines(pending, false));
            }
            converter.ConvertLines(pending, true);
            converter.Finish();
            ASSERT_EQ(pieces, out) << ::testing::PrintToString(text);
        }
    }
}

TEST(Utf8Input, VectorClassifiersAgreeWithPlainOnes) {
    std::mt19937 random(3);
    const scan::StopSet sets[] = {scan::StopSet(), scan::StopSet(":")};
    for (const bool text : {false, true}) {
        const scan::ClassifyFunction plain =
            text ? scan::ClassifyPlainUtf8Text : scan::ClassifyPlainUtf8;
        for (int round = 0; round < 3000; ++round) {
            // The three bytes before the block are read by the text classifier.
            std::string bytes = RandomText(random, 3 + 64);
            for (const scan::StopSet& set : sets) {
                const char* const block = bytes.data() + 3;
                const scan::ByteClasses expected = scan::ClassifyBlock(plain, block, set);
                EXPECT_EQ(expected.lead, 0u);
                for (scan::ClassifyFunction classify :
                     scan::AvailableUtf8VectorClassifiers(text).functions) {
                    if (classify == nullptr) {
                        continue;
                    }
                    const scan::ByteClasses found = scan::ClassifyBlock(classify, block, set);
                    ASSERT_EQ(found.lead, expected.lead);
                    ASSERT_EQ(found.stop, expected.stop);
                    ASSERT_EQ(found.lineEnd, expected.lineEnd);
                }
            }
        }
    }
}

}  // namespace
}  // namespace quirtle
