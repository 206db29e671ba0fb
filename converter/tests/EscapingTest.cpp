// Escaping of the four markup characters and Shift_JIS double-byte characters.
#include "ConverterTestSupport.h"

namespace quirtle {
namespace {

using testing::HtmlOf;
using testing::XmlOf;

TEST(Escaping, EscapeText) {
    EXPECT_EQ(DocumentConverter::EscapeText("AT&T <b>"), "AT&amp;T &lt;b&gt;");
    EXPECT_EQ(DocumentConverter::EscapeText("\"it's\""), "&quot;it's&quot;");
    EXPECT_EQ(DocumentConverter::EscapeText("&amp;"), "&amp;amp;");
    EXPECT_EQ(DocumentConverter::EscapeText(""), "");
    EXPECT_EQ(DocumentConverter::EscapeText("\t\x01\x7f"), "\t\x01\x7f");
}

TEST(Escaping, TextIsEscapedEverywhere) {
    EXPECT_EQ(HtmlOf({"AT&T <b> \"q\" 'a'"}), "<p>AT&amp;T &lt;b&gt; &quot;q&quot; 'a'</p>\r\n");
    EXPECT_EQ(XmlOf({"- <x>"}), "<list><litem>&lt;x&gt;</litem>\r\n</list>\r\n");
    EXPECT_EQ(XmlOf({"* a&b"}), "<section><heading>a&amp;b</heading>\r\n</section>\r\n");
    EXPECT_EQ(HtmlOf({"*(a\"b) <x>"}), "<div class=\"a&quot;b\"><h1>&lt;x&gt;</h1>\r\n</div>\r\n");
    // An incomplete block shows the line with only the four characters escaped.
    EXPECT_EQ(HtmlOf({"_<a & \"b\">"}),
              "<pre class=\"incomplete\">_&lt;a &amp; &quot;b&quot;&gt;</pre>\r\n");
}

TEST(Escaping, AdvanceCharStepsWholeCharacters) {
    const std::string text = "a\x83\x5C";
    const char* cursor = text.data();
    const char* end = text.data() + text.size();
    EXPECT_EQ(DocumentConverter::AdvanceChar(cursor, end), 0);
    EXPECT_EQ(cursor, text.data() + 1);
    EXPECT_EQ(DocumentConverter::AdvanceChar(cursor, end), 0);
    EXPECT_EQ(cursor, end);
    EXPECT_LT(DocumentConverter::AdvanceChar(cursor, end), 0);
    EXPECT_EQ(cursor, end);

    const std::string truncated = "\x95";
    cursor = truncated.data();
    EXPECT_LT(DocumentConverter::AdvanceChar(cursor, truncated.data() + 1), 0);
    EXPECT_EQ(cursor, truncated.data() + 1);
}

TEST(Escaping, AppendEscapedCharFailsOnATruncatedCharacter) {
    const std::string text = "&\xE0";
    const char* cursor = text.data();
    const char* end = text.data() + text.size();
    std::string out;
    EXPECT_EQ(DocumentConverter::AppendEscapedChar(cursor, end, out), 0);
    EXPECT_EQ(out, "&amp;");
    EXPECT_LT(DocumentConverter::AppendEscapedChar(cursor, end, out), 0);
    EXPECT_EQ(cursor, end);
    EXPECT_EQ(out, "&amp;");
}

// Double-byte characters whose trail byte equals a markup character.
TEST(Escaping, TrailBytesNeverActAsMarkup) {
    const std::string so = "\x83\x5C";          // trail byte "\"
    const std::string hyo = "\x95\x5C";         // trail byte "\"
    const std::string trailOpen = "\x83\x5B";   // trail byte "["
    const std::string trailClose = "\x83\x5D";  // trail byte "]"
    const std::string trailUnder = "\x83\x5F";  // trail byte "_"
    const std::string trailBrace = "\x83\x7B";  // trail byte "{"
    const std::string trailEnd = "\x83\x7D";    // trail byte "}"
    const std::string trailBar = "\x83\x7C";    // trail byte "|"

    // A trailing "ソ" is not a trailing backslash.
    EXPECT_EQ(XmlOf({"a" + so}), "<paragraph>a" + so + "</paragraph>\r\n");
    // Nor does it escape the next character.
    EXPECT_EQ(XmlOf({hyo + "_x*"}), "<paragraph>" + hyo + "<em>x</em></paragraph>\r\n");
    // Inside a body, trail bytes are neither closers nor openers.
    const std::string body = trailOpen + trailUnder + trailBrace + trailEnd + so;
    EXPECT_EQ(XmlOf({"_" + body + "*"}), "<paragraph><em>" + body + "</em></paragraph>\r\n");
    // In a reading, a trail byte "]" does not end it.
    EXPECT_EQ(XmlOf({"_x[" + trailClose + "]"}),
              "<paragraph><ruby param0=\"" + trailClose + "\">x</ruby></paragraph>\r\n");
    // In a quoted parameter, a trail byte "\" does not escape the closing quote.
    EXPECT_EQ(XmlOf({":k \"" + so + "\" b"}),
              "<div class=\"k\"><k param0=\"" + so + "\" param1=\"b\"></k>\r\n</div>\r\n");
    // In a division head, a trail byte "}" does not end the head.
    EXPECT_EQ(XmlOf({"|{n " + trailEnd + "} t"}),
              "<n param0=\"" + trailEnd + "\"><div_inner>t</div_inner>\r\n</n>\r\n");
    // A line starting with a lead byte whose trail is "|" is a paragraph.
    EXPECT_EQ(HtmlOf({trailBar + "x"}), "<p>" + trailBar + "x</p>\r\n");
}

TEST(Escaping, TruncatedCharacterRejectsTheLine) {
    EXPECT_EQ(HtmlOf({"abc\x82"}), "<pre class=\"incomplete\">abc\x82</pre>\r\n");
    EXPECT_EQ(HtmlOf({"- abc\x82"}), "<ul></ul>\r\n<pre class=\"incomplete\">- abc\x82</pre>\r\n");
}

TEST(Escaping, SingleByteKanaAndHighBytesPassThrough) {
    EXPECT_EQ(HtmlOf({"\xB1\xB2\xA0\xFD"}), "<p>\xB1\xB2\xA0\xFD</p>\r\n");
}

}  // namespace
}  // namespace quirtle

namespace quirtle {
namespace {

// A lead byte followed by a byte that cannot be a second byte is still one character,
// but its second byte is escaped, so broken input never puts raw markup into the output.
TEST(Escaping, BrokenDoubleByteCharacterCannotInjectMarkup) {
    EXPECT_EQ(testing::HtmlOf({"a\x82<script>"}), "<p>a\x82&lt;script&gt;</p>\r\n");
    EXPECT_EQ(testing::XmlOf({"_x{k \x82\"}"}),
              "<paragraph><k param0=\"\x82&quot;\">x</k>\r\n</paragraph>\r\n");
    EXPECT_EQ(testing::HtmlOf({"*(\x82\"onmouseover=x) T"}),
              "<div class=\"\x82&quot;onmouseover=x\"><h1>T</h1>\r\n</div>\r\n");
    // Names with such a pair are rejected.
    EXPECT_FALSE(DocumentConverter::IsWellFormedName("\x82\""));
    EXPECT_FALSE(DocumentConverter::IsWellFormedName("a\x82"));
    EXPECT_EQ(testing::XmlOf({":\x82\" x"}), "<pre class=\"incomplete\">:\x82&quot; x</pre>\r\n");
}

// The same holds wherever inline text is taken: in a body, after a backslash, in a
// reading, and for a pair whose second byte would otherwise close an element.
TEST(Escaping, BrokenDoubleByteCharacterInInlineMarkup) {
    EXPECT_EQ(testing::HtmlOf({"_a\x82<b*"}), "<p><em>a\x82&lt;b</em></p>\r\n");
    EXPECT_EQ(testing::HtmlOf({"\\\x82&x"}), "<p>\x82&amp;x</p>\r\n");
    EXPECT_EQ(testing::XmlOf({"_a[\x82\"]"}),
              "<paragraph><ruby param0=\"\x82&quot;\">a</ruby></paragraph>\r\n");
    EXPECT_EQ(testing::HtmlOf({"_a\x82*b*"}), "<p><em>a\x82*b</em></p>\r\n");
    EXPECT_EQ(testing::HtmlOf({"&\x82"}), "<pre class=\"incomplete\">&amp;\x82</pre>\r\n");
}

}  // namespace
}  // namespace quirtle
