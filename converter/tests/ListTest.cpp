// Lists, definition lists, quotations and divisions, and their container rules.
#include "ConverterTestSupport.h"

namespace quirtle {
namespace {

using testing::HtmlOf;
using testing::XmlOf;

TEST(Lists, ItemsAndNesting) {
    EXPECT_EQ(HtmlOf({"- one", "- two"}), "<ul><li>one</li>\r\n<li>two</li>\r\n</ul>\r\n");
    EXPECT_EQ(HtmlOf({"- a", "-- b", "- c"}),
              "<ul><li>a<ul><li>b</li>\r\n</ul>\r\n</li>\r\n<li>c</li>\r\n</ul>\r\n");
    EXPECT_EQ(XmlOf({"- a", "-- b", "--- c", "- d"}),
              "<list><litem>a<list><litem>b<list><litem>c</litem>\r\n</list>\r\n"
              "</litem>\r\n</list>\r\n</litem>\r\n<litem>d</litem>\r\n</list>\r\n");
}

TEST(Lists, ChangeOfBlockTypeAtTheSameLevelStartsANewContainer) {
    EXPECT_EQ(HtmlOf({"- a", "! term: text"}),
              "<ul><li>a</li>\r\n</ul>\r\n<dl><dt>term</dt>\r\n<dd> text</dd>\r\n</dl>\r\n");
    EXPECT_EQ(XmlOf({"- a", "! term: text"}),
              "<list><litem>a</litem>\r\n</list>\r\n"
              "<dlist><dterm>term</dterm>\r\n<ddesc> text</ddesc>\r\n</dlist>\r\n");
    EXPECT_EQ(XmlOf({"> said", "> more"}),
              "<blockquote><blockquote_inner>said</blockquote_inner>\r\n"
              "<blockquote_inner>more</blockquote_inner>\r\n</blockquote>\r\n");
    EXPECT_EQ(HtmlOf({"> said", "> more"}),
              "<blockquote><p>said</p>\r\n<p>more</p>\r\n</blockquote>\r\n");
}

TEST(Lists, DefinitionTerms) {
    // No ":" after the term: the term stays written, the line is rejected.
    EXPECT_EQ(HtmlOf({"! no colon here"}),
              "<dl><dt>no colon here</dt>\r\n</dl>\r\n"
              "<pre class=\"incomplete\">! no colon here</pre>\r\n");
    EXPECT_EQ(HtmlOf({"! term:"}), "<dl><dt>term</dt>\r\n<dd></dd>\r\n</dl>\r\n");
    // Escaped ":" and a ":" inside an inline element do not end the term.
    EXPECT_EQ(XmlOf({"! a\\:b:c"}),
              "<dlist><dterm>a:b</dterm>\r\n<ddesc>c</ddesc>\r\n</dlist>\r\n");
    EXPECT_EQ(XmlOf({"! _a:b*:c"}),
              "<dlist><dterm><em>a:b</em></dterm>\r\n<ddesc>c</ddesc>\r\n</dlist>\r\n");
    // A failing term writes nothing of the term.
    EXPECT_EQ(HtmlOf({"! _a: b"}), "<dl></dl>\r\n<pre class=\"incomplete\">! _a: b</pre>\r\n");
}

TEST(Lists, ClassOrIdAlwaysStartsANewContainer) {
    EXPECT_EQ(HtmlOf({"-(warn) a", "- b", "-(warn) c"}),
              "<ul class=\"warn\"><li>a</li>\r\n<li>b</li>\r\n</ul>\r\n"
              "<ul class=\"warn\"><li>c</li>\r\n</ul>\r\n");
    EXPECT_EQ(XmlOf({"-(#x) a"}), "<list id=\"x\"><litem>a</litem>\r\n</list>\r\n");
}

TEST(Lists, LevelMayExceedTheOpenDepthByOneOnly) {
    EXPECT_EQ(HtmlOf({"--- x"}), "<pre class=\"incomplete\">--- x</pre>\r\n");
    EXPECT_EQ(HtmlOf({"--(k) x"}), "<ul class=\"k\"><ul><li>x</li>\r\n</ul>\r\n</ul>\r\n");
    EXPECT_EQ(HtmlOf({"---(k) x"}),
              "<ul class=\"k\"></ul>\r\n<pre class=\"incomplete\">---(k) x</pre>\r\n");
}

TEST(Lists, MarkerAloneClosesTheItemAndKeepsTheList) {
    EXPECT_EQ(HtmlOf({"- a", "-", "- b"}), "<ul><li>a</li>\r\n<li>b</li>\r\n</ul>\r\n");
    EXPECT_EQ(HtmlOf({"-"}), "<ul></ul>\r\n");
}

TEST(Lists, CommandsAndCommentsStayInsideParagraphsEndTheList) {
    EXPECT_EQ(XmlOf({"- a", ":note p", "- b"}),
              "<list><litem>a<div class=\"note\"><note param0=\"p\"></note>\r\n</div>\r\n"
              "</litem>\r\n<litem>b</litem>\r\n</list>\r\n");
    EXPECT_EQ(HtmlOf({"- a", "text", "- b"}),
              "<ul><li>a</li>\r\n</ul>\r\n<p>text</p>\r\n<ul><li>b</li>\r\n</ul>\r\n");
}

TEST(Lists, RejectedItemTextKeepsTheOpenedContainer) {
    EXPECT_EQ(XmlOf({"- a", "-- b\\"}),
              "<list><litem>a<list></list>\r\n</litem>\r\n</list>\r\n"
              "<pre class=\"incomplete\">-- b\\</pre>\r\n");
}

TEST(Divisions, NameIsSharedByFollowingDivisionLines) {
    EXPECT_EQ(HtmlOf({"|{note} first", "| second"}),
              "<note><div>first</div>\r\n<div>second</div>\r\n</note>\r\n");
    EXPECT_EQ(XmlOf({"|{note} first", "| second"}),
              "<note><div_inner>first</div_inner>\r\n<div_inner>second</div_inner>\r\n"
              "</note>\r\n");
    // A comment ends the sharing; a blank line does not.
    EXPECT_EQ(HtmlOf({"|{note} first", "# c", "| second"}),
              "<note><div>first</div>\r\n</note>\r\n<div><div>second</div>\r\n</div>\r\n");
    EXPECT_EQ(HtmlOf({"|{note} first", "", "| second"}),
              "<note><div>first</div>\r\n</note>\r\n<note><div>second</div>\r\n</note>\r\n");
    // A paragraph ends it too.
    EXPECT_EQ(HtmlOf({"|{note} a", "p", "| b"}),
              "<note><div>a</div>\r\n</note>\r\n<p>p</p>\r\n<div><div>b</div>\r\n</div>\r\n");
}

TEST(Divisions, LastDivisionNameFollowsTheLines) {
    testing::ConverterAccess converter;
    converter.SplitLines(testing::Manuscript({"|{aside} a", "", "|{bad/name} b"}));
    std::string result;
    converter.ConvertToXml(result);
    // The rejected name is never stored.
    EXPECT_EQ(converter.LastDivisionName(), "aside");

    converter.SplitLines(testing::Manuscript({"|{aside} a", "; c"}));
    converter.ConvertToXml(result);
    EXPECT_EQ(converter.LastDivisionName(), "");
}

TEST(Divisions, ParametersOnlyInExportAndOnlyOnTheOpeningLine) {
    EXPECT_EQ(XmlOf({"|{note p1 \"p 2\"} x"}),
              "<note param0=\"p1\" param1=\"p 2\"><div_inner>x</div_inner>\r\n</note>\r\n");
    EXPECT_EQ(HtmlOf({"|{note p1 \"p 2\"} x"}), "<note><div>x</div>\r\n</note>\r\n");
    EXPECT_EQ(XmlOf({"|{note} x", "|{note p9} y"}),
              "<note><div_inner>x</div_inner>\r\n<div_inner>y</div_inner>\r\n</note>\r\n");
    EXPECT_EQ(XmlOf({"|{note} x", "|{note(c) p9} y"}),
              "<note><div_inner>x</div_inner>\r\n</note>\r\n"
              "<note class=\"c\" param0=\"p9\"><div_inner>y</div_inner>\r\n</note>\r\n");
}

TEST(Divisions, ItemRulesFollowTheContainerName) {
    EXPECT_EQ(HtmlOf({"|{dl} t: d"}), "<dl><dt>t</dt>\r\n<dd> d</dd>\r\n</dl>\r\n");
    EXPECT_EQ(HtmlOf({"|{ul} x"}), "<ul><li>x</li>\r\n</ul>\r\n");
    EXPECT_EQ(XmlOf({"|{dl} t: d"}), "<dl><div_inner>t: d</div_inner>\r\n</dl>\r\n");
    EXPECT_EQ(XmlOf({"|{blockquote} q"}),
              "<blockquote><blockquote_inner>q</blockquote_inner>\r\n</blockquote>\r\n");
}

TEST(Divisions, OtherNameAtTheSameLevelReplacesTheContainer) {
    EXPECT_EQ(HtmlOf({"|{a} x", "|{b} y", "|| z"}),
              "<a><div>x</div>\r\n</a>\r\n<b><div>y<b><div>z</div>\r\n</b>\r\n</div>\r\n</b>\r\n");
}

}  // namespace
}  // namespace quirtle
