// Section lines and headings.
#include "ConverterTestSupport.h"

namespace quirtle {
namespace {

using testing::HtmlOf;
using testing::XmlOf;

TEST(Sections, SameOrShallowerLevelClosesTheOpenSections) {
    EXPECT_EQ(HtmlOf({"* Alpha", "** Beta", "* Gamma"}),
              "<div class=\"section_1\"><h1>Alpha</h1>\r\n"
              "<div class=\"section_2\"><h2>Beta</h2>\r\n"
              "</div>\r\n"
              "</div>\r\n"
              "<div class=\"section_1\"><h1>Gamma</h1>\r\n"
              "</div>\r\n");
    EXPECT_EQ(XmlOf({"* Alpha", "** Beta", "* Gamma"}),
              "<section><heading>Alpha</heading>\r\n"
              "<section><heading>Beta</heading>\r\n"
              "</section>\r\n"
              "</section>\r\n"
              "<section><heading>Gamma</heading>\r\n"
              "</section>\r\n");
}

TEST(Sections, SkippedLevelsGetOneImplicitSection) {
    EXPECT_EQ(HtmlOf({"*** X", "*** Y"}),
              "<div class=\"section_1\">\r\n"
              "<div class=\"section_2\"><h2>X</h2>\r\n"
              "<div class=\"section_3\"><h3>Y</h3>\r\n"
              "</div>\r\n</div>\r\n</div>\r\n");
    EXPECT_EQ(XmlOf({"** X"}),
              "<section>\r\n<section><heading>X</heading>\r\n</section>\r\n</section>\r\n");
    // Deeper than six: no cap on the heading number.
    const std::string deep =
        HtmlOf({"* a", "** b", "*** c", "**** d", "***** e", "****** f", "******* g"});
    EXPECT_NE(deep.find("<div class=\"section_7\"><h7>g</h7>\r\n"), std::string::npos);
}

TEST(Sections, WithoutHeading) {
    EXPECT_EQ(HtmlOf({"**"}),
              "<div class=\"section_1\">\r\n<div class=\"section_2\"></div>\r\n</div>\r\n");
    EXPECT_EQ(XmlOf({"* "}), "<section></section>\r\n");
}

TEST(Sections, ClassAndIdReplaceTheDefaultClass) {
    EXPECT_EQ(HtmlOf({"*(intro#top) Title"}),
              "<div class=\"intro\" id=\"top\"><h1>Title</h1>\r\n</div>\r\n");
    EXPECT_EQ(XmlOf({"*(intro#top) Title"}),
              "<section class=\"intro\" id=\"top\"><heading>Title</heading>\r\n</section>\r\n");
    EXPECT_EQ(HtmlOf({"*(#top) T"}),
              "<div class=\"section_1\" id=\"top\"><h1>T</h1>\r\n</div>\r\n");
}

TEST(Sections, MalformedHeadIsRejectedBeforeClosingAnything) {
    // The open list is closed only by the incomplete block itself.
    EXPECT_EQ(HtmlOf({"* S", "*Title"}),
              "<div class=\"section_1\"><h1>S</h1>\r\n"
              "<pre class=\"incomplete\">*Title</pre>\r\n"
              "</div>\r\n");
}

TEST(Sections, FailingHeadingLeavesTheSectionOpen) {
    EXPECT_EQ(XmlOf({"* a_b", "text"}),
              "<section><pre class=\"incomplete\">* a_b</pre>\r\n"
              "<paragraph>text</paragraph>\r\n"
              "</section>\r\n");
}

TEST(Sections, DeeperSectionNestsInsideOpenListItem) {
    EXPECT_EQ(XmlOf({"- a", "* S"}),
              "<list><litem>a<section><heading>S</heading>\r\n"
              "</section>\r\n</litem>\r\n</list>\r\n");
    EXPECT_EQ(XmlOf({"- a", "", "* S"}),
              "<list><litem>a</litem>\r\n</list>\r\n"
              "<section><heading>S</heading>\r\n</section>\r\n");
}

TEST(Sections, SectionLineClosesListsInsideTheSectionItCloses) {
    EXPECT_EQ(XmlOf({"* A", "- a", "* B"}),
              "<section><heading>A</heading>\r\n"
              "<list><litem>a</litem>\r\n</list>\r\n"
              "</section>\r\n"
              "<section><heading>B</heading>\r\n</section>\r\n");
}

}  // namespace
}  // namespace quirtle
