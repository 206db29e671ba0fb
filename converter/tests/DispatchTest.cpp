// Per-line dispatch, the document wrapper and the closing of open elements.
#include "ConverterTestSupport.h"

namespace quirtle {
namespace {

using testing::HtmlOf;
using testing::Manuscript;
using testing::ToHtml;
using testing::ToXml;
using testing::XmlOf;

TEST(Dispatch, EmptyManuscript) {
    EXPECT_EQ(ToHtml(""), "");
    EXPECT_EQ(ToXml(""), "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><document></document>\r\n");
}

TEST(Dispatch, FirstByteChoosesTheBlock) {
    EXPECT_EQ(HtmlOf({"text"}), "<p>text</p>\r\n");
    EXPECT_EQ(XmlOf({"text"}), "<paragraph>text</paragraph>\r\n");
    // A leading space makes any line a paragraph.
    EXPECT_EQ(HtmlOf({" * x"}), "<p> * x</p>\r\n");
    // Comments write nothing.
    EXPECT_EQ(HtmlOf({"# note", "; note"}), "");
    // A line of spaces is a paragraph, not a blank line.
    EXPECT_EQ(HtmlOf({"   "}), "<p>   </p>\r\n");
    // A line starting with a double-byte character is a paragraph even when a marker
    // character follows it ("\x81\x5B" is the prolonged sound mark).
    EXPECT_EQ(HtmlOf({"\x81\x5B- x"}), "<p>\x81\x5B- x</p>\r\n");
    // Two text lines are two paragraphs.
    EXPECT_EQ(XmlOf({"a", "b"}), "<paragraph>a</paragraph>\r\n<paragraph>b</paragraph>\r\n");
}

TEST(Dispatch, ElementsOpenAtTheEndCloseInnermostFirst) {
    EXPECT_EQ(XmlOf({"* S", "- a", "-- b"}),
              "<section><heading>S</heading>\r\n"
              "<list><litem>a<list><litem>b</litem>\r\n"
              "</list>\r\n"
              "</litem>\r\n"
              "</list>\r\n"
              "</section>\r\n");
}

TEST(Dispatch, CommentBetweenItemsKeepsTheListOpen) {
    EXPECT_EQ(HtmlOf({"- a", "# comment", "- b"}), "<ul><li>a</li>\r\n<li>b</li>\r\n</ul>\r\n");
}

TEST(Dispatch, BlankLineAndParagraphCloseListsButNotSections) {
    EXPECT_EQ(HtmlOf({"* S", "- a", "", "text", "- b", "plain"}),
              "<div class=\"section_1\"><h1>S</h1>\r\n"
              "<ul><li>a</li>\r\n</ul>\r\n"
              "<p>text</p>\r\n"
              "<ul><li>b</li>\r\n</ul>\r\n"
              "<p>plain</p>\r\n"
              "</div>\r\n");
}

TEST(Dispatch, RejectedLineInsideSectionStaysInside) {
    EXPECT_EQ(XmlOf({"* S", "- a", "_broken", "after"}),
              "<section><heading>S</heading>\r\n"
              "<list><litem>a</litem>\r\n</list>\r\n"
              "<pre class=\"incomplete\">_broken</pre>\r\n"
              "<paragraph>after</paragraph>\r\n"
              "</section>\r\n");
}

TEST(Dispatch, ConversionSucceedsWhateverTheLines) {
    testing::ConverterAccess converter;
    converter.SplitLines(Manuscript({"_bad", "*bad", ":"}));
    std::string result;
    EXPECT_EQ(converter.ConvertToHtml(result), 0);
    EXPECT_EQ(result,
              "<pre class=\"incomplete\">_bad</pre>\r\n"
              "<pre class=\"incomplete\">*bad</pre>\r\n"
              "<pre class=\"incomplete\">:</pre>\r\n");
}

TEST(Dispatch, ResultReplacesWhatTheStringHeld) {
    testing::ConverterAccess converter;
    converter.SplitLines("x");
    std::string result = "old contents";
    converter.ConvertToHtml(result);
    EXPECT_EQ(result, "<p>x</p>\r\n");
}

}  // namespace
}  // namespace quirtle
