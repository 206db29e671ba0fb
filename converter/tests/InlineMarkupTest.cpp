// Inline markup: ruby, emphasis, inline commands, backslash escapes, nesting.
#include <string>

#include "ConverterTestSupport.h"

namespace quirtle {
namespace {

// The inline conversion of a whole text, or "FAIL" when it is rejected.
std::string Inline(std::string_view text, OutputMode mode, std::string_view terminators = {}) {
    testing::ConverterAccess converter;
    std::string ignored;
    if (mode == OutputMode::Xml) {
        converter.ConvertToXml(ignored);
    } else {
        converter.ConvertToHtml(ignored);
    }
    std::string out;
    const char* cursor = text.data();
    if (converter.ConvertInline(cursor, text.data() + text.size(), out, terminators) < 0) {
        return "FAIL";
    }
    return out;
}

std::string Html(std::string_view text) {
    return Inline(text, OutputMode::Html);
}
std::string Xml(std::string_view text) {
    return Inline(text, OutputMode::Xml);
}

// "漢字" and "かんじ" in Shift_JIS.
constexpr std::string_view kanji = "\x8a\xbf\x8e\x9a";
constexpr std::string_view kana = "\x82\xa9\x82\xf1\x82\xb6";

TEST(InlineMarkup, Ruby) {
    const std::string text = "_" + std::string(kanji) + "[" + std::string(kana) + "]";
    EXPECT_EQ(Html(text), "<ruby><rb>" + std::string(kanji) + "</rb><rp>(</rp><rt>" +
                              std::string(kana) + "</rt><rp>)</rp></ruby>");
    EXPECT_EQ(Xml(text),
              "<ruby param0=\"" + std::string(kana) + "\">" + std::string(kanji) + "</ruby>");
    EXPECT_EQ(Xml("_A&B[x]"), "<ruby param0=\"x\">A&amp;B</ruby>");
    EXPECT_EQ(Xml("_b[a&b]"), "<ruby param0=\"a&amp;b\">b</ruby>");
    EXPECT_EQ(Xml("_[r]"), "<ruby param0=\"r\"></ruby>");
    EXPECT_EQ(Xml("_b[]"), "<ruby param0=\"\">b</ruby>");
    // The reading is plain text; a backslash still escapes "]".
    EXPECT_EQ(Xml("_b[_x*{y}\\]]"), "<ruby param0=\"_x*{y}]\">b</ruby>");
}

TEST(InlineMarkup, Emphasis) {
    EXPECT_EQ(Html("_strong*"), "<em>strong</em>");
    EXPECT_EQ(Xml("_strong*"), "<em>strong</em>");
    EXPECT_EQ(Xml("_*"), "<em></em>");
    EXPECT_EQ(Xml("a _b* c"), "a <em>b</em> c");
}

TEST(InlineMarkup, InlineCommands) {
    EXPECT_EQ(Xml("_text{code(cls) a \"b c\"}"),
              "<code class=\"cls\" param0=\"a\" param1=\"b c\">text</code>\r\n");
    EXPECT_EQ(Html("_text{code(cls) a \"b c\"}"),
              "<span class=\"inline_command\">&lt;code class=&quot;cls&quot; param0=&quot;a&quot; "
              "param1=&quot;b c&quot;&gt;text&lt;/code&gt;</span>");
    EXPECT_EQ(Xml("_x{}"), "<span>x</span>\r\n");
    EXPECT_EQ(Xml("_a_b*{x}"), "<x>a<em>b</em></x>\r\n");
    EXPECT_EQ(Html("_a_b*{x}"),
              "<span class=\"inline_command\">&lt;x&gt;a<em>b</em>&lt;/x&gt;</span>");
    // A "&" in a parameter is escaped once in the export and shown escaped in the preview.
    EXPECT_EQ(Xml("_t{k a&b}"), "<k param0=\"a&amp;b\">t</k>\r\n");
    EXPECT_EQ(Html("_t{k a&b}"),
              "<span class=\"inline_command\">&lt;k param0=&quot;a&amp;amp;b&quot;&gt;t&lt;/k&gt;"
              "</span>");
}

TEST(InlineMarkup, InlineCommandHeadsInEveryForm) {
    // Quoted parameters keep spaces and "}", and a backslash takes the next character.
    EXPECT_EQ(Xml("_t{k \"a} b\" \"x\\\"y\\\\\" c}"),
              "<k param0=\"a} b\" param1=\"x&quot;y\\\" param2=\"c\">t</k>\r\n");
    EXPECT_EQ(Html("_t{k \"x\\\"y\"}"),
              "<span class=\"inline_command\">&lt;k param0=&quot;x&amp;quot;y&quot;&gt;t&lt;/k&gt;"
              "</span>");
    // Parameters past the tenth.
    EXPECT_EQ(Xml("_t{k 0 1 2 3 4 5 6 7 8 9 10 11}"),
              "<k param0=\"0\" param1=\"1\" param2=\"2\" param3=\"3\" param4=\"4\" "
              "param5=\"5\" param6=\"6\" param7=\"7\" param8=\"8\" param9=\"9\" "
              "param10=\"10\" param11=\"11\">t</k>\r\n");
    // The class-and-id group: either part alone, the character after "#" whatever it is,
    // and escaped bytes escaped once more in the shown form.
    EXPECT_EQ(Xml("_t{k(#i)}"), "<k id=\"i\">t</k>\r\n");
    EXPECT_EQ(Xml("_t{k(c#)}"), "FAIL");
    EXPECT_EQ(Xml("_t{k(c#))}"), "<k class=\"c\" id=\")\">t</k>\r\n");
    EXPECT_EQ(Xml("_t{k(a<b#&)}"), "<k class=\"a&lt;b\" id=\"&amp;\">t</k>\r\n");
    EXPECT_EQ(Html("_t{k(a<b#&)}"),
              "<span class=\"inline_command\">&lt;k class=&quot;a&amp;lt;b&quot; "
              "id=&quot;&amp;amp;&quot;&gt;t&lt;/k&gt;</span>");
    // Heads that end inside a quote, an escape or a double-byte character.
    for (std::string_view text : {"_t{k \"a\\", "_t{k \"a\\\"}", "_t{k a\x8a", "_t{k(\x8a"}) {
        EXPECT_EQ(Xml(text), "FAIL") << text;
        EXPECT_EQ(Html(text), "FAIL") << text;
    }
}

TEST(InlineMarkup, Nesting) {
    EXPECT_EQ(Xml("__inner*[outer]"), "<ruby param0=\"outer\"><em>inner</em></ruby>");
    EXPECT_EQ(Html("__inner*[outer]"),
              "<ruby><rb><em>inner</em></rb><rp>(</rp><rt>outer</rt><rp>)</rp></ruby>");
    EXPECT_EQ(Xml("___a*b[r]c{k}"), "<k><ruby param0=\"r\"><em>a</em>b</ruby>c</k>\r\n");
    EXPECT_EQ(Xml("_a*_b*"), "<em>a</em><em>b</em>");
}

TEST(InlineMarkup, PlainTextAndEscapes) {
    EXPECT_EQ(Xml("a*b[c]{d}"), "a*b[c]{d}");
    EXPECT_EQ(Xml("\\_x"), "_x");
    EXPECT_EQ(Xml("a\\\\b"), "a\\b");
    EXPECT_EQ(Xml("\\<"), "&lt;");
    EXPECT_EQ(Xml("_a\\*b*"), "<em>a*b</em>");
    EXPECT_EQ(Xml(""), "");
}

TEST(InlineMarkup, FailingTexts) {
    for (std::string_view text : {"_", "x_", "_abc", "_a[b", "_a{b", "_a[", "_a[b\\", "a\\",
                                  "_a{k \"x}", "_a{k(x y)}", "_a{(a#b#c)}", "_a{(x}", "\x8a"}) {
        EXPECT_EQ(Xml(text), "FAIL") << text;
        EXPECT_EQ(Html(text), "FAIL") << text;
    }
}

TEST(InlineMarkup, TermTerminator) {
    std::string_view text = "a\\:b:c";
    testing::ConverterAccess converter;
    std::string out;
    const char* cursor = text.data();
    ASSERT_EQ(converter.ConvertInline(cursor, text.data() + text.size(), out, ":"), 0);
    EXPECT_EQ(out, "a:b");
    EXPECT_EQ(std::string_view(cursor, 2), ":c");
    EXPECT_EQ(Inline("_a:b*:c", OutputMode::Xml, ":"), "<em>a:b</em>");
}

TEST(InlineMarkup, NestingUpToTheLimitIsAccepted) {
    const std::string text =
        std::string(maxInlineDepth, '_') + "x" + std::string(maxInlineDepth, '*');
    std::string expected;
    for (std::size_t i = 0; i < maxInlineDepth; ++i) expected += "<em>";
    expected += "x";
    for (std::size_t i = 0; i < maxInlineDepth; ++i) expected += "</em>";
    EXPECT_EQ(Xml(text), expected);
}

TEST(InlineMarkup, NestingBeyondTheLimitRejectsTheLine) {
    const std::size_t depth = maxInlineDepth + 1;
    const std::string line = std::string(depth, '_') + "x" + std::string(depth, '*');
    const std::string expected = "<pre class=\"incomplete\">" + line + "</pre>\r\n";
    EXPECT_EQ(testing::ToHtml(line), expected);
    EXPECT_EQ(testing::XmlBody(line), expected);
    // A very deep line is rejected without exhausting the stack.
    const std::string deep(2'000'000, '_');
    EXPECT_EQ(Xml(deep + "x"), "FAIL");
}

TEST(InlineMarkup, ManySiblingElementsOnOneLine) {
    std::string text;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        text += "_a[b]";
        expected += "<ruby param0=\"b\">a</ruby>";
    }
    EXPECT_EQ(Xml(text), expected);
}

}  // namespace
}  // namespace quirtle
