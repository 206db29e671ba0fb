// Block heads, element heads, attributes and start tags.
#include "ConverterTestSupport.h"

namespace quirtle {
namespace {

using testing::HtmlOf;
using testing::XmlOf;

struct MarkerResult {
    int32_t status;
    OpenElement element;
    std::string rest;  // the content after the head
};

MarkerResult ParseMarker(testing::ConverterAccess& converter, std::string_view line) {
    MarkerResult result;
    const char* cursor = line.data();
    result.status = converter.ParseBlockMarker(cursor, line.data() + line.size(), result.element);
    result.rest.assign(cursor, line.data() + line.size());
    return result;
}

TEST(ElementHeads, BlockMarkerLevelNameAndContent) {
    testing::ConverterAccess converter(OutputMode::Xml);
    MarkerResult r = ParseMarker(converter, "* Title");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.element.level, 1);
    EXPECT_EQ(r.element.name, "section");
    EXPECT_EQ(r.rest, "Title");

    r = ParseMarker(converter, "**(intro#top) Title");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.element.level, 2);
    EXPECT_EQ(r.element.className, "intro");
    EXPECT_EQ(r.element.id, "top");

    r = ParseMarker(converter, "*  Title");  // only one space is consumed
    EXPECT_EQ(r.rest, " Title");

    r = ParseMarker(converter, "**");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.element.level, 2);
    EXPECT_EQ(r.rest, "");

    r = ParseMarker(converter, "|");
    EXPECT_EQ(r.element.name, "div");
}

TEST(ElementHeads, MalformedBlockHeads) {
    testing::ConverterAccess converter(OutputMode::Xml);
    EXPECT_EQ(ParseMarker(converter, "*Title").status, -1);
    EXPECT_EQ(ParseMarker(converter, "*(x)Title").status, -1);
    for (std::string_view line :
         {"*(a b) T", "*(a#b#c) T", "*(a T", "*(a#) T", "*(", "|{note}", "|{", "|{note x"}) {
        const int32_t status = ParseMarker(converter, line).status;
        EXPECT_LT(status, 0) << line;
        EXPECT_NE(status, -1) << line;
    }
}

TEST(ElementHeads, DivisionHeadInBraces) {
    testing::ConverterAccess converter(OutputMode::Xml);
    MarkerResult r = ParseMarker(converter, "|{note(c#i) a \"b c\"} text");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.element.name, "note");
    EXPECT_EQ(r.element.className, "c");
    EXPECT_EQ(r.element.id, "i");
    EXPECT_EQ(r.element.params, (std::vector<std::string>{"a", "b c"}));
    EXPECT_EQ(r.rest, "text");
    EXPECT_EQ(converter.LastDivisionName(), "note");
    std::string tag;
    converter.BuildBlockStartTag(r.element, tag);
    EXPECT_EQ(tag, "<note class=\"c\" id=\"i\" param0=\"a\" param1=\"b c\">");

    r = ParseMarker(converter, "| more");
    EXPECT_EQ(r.element.name, "note");
    EXPECT_TRUE(r.element.params.empty());

    r = ParseMarker(converter, "|{note} ");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.rest, "");

    EXPECT_EQ(ParseMarker(converter, "|{} x").element.name, "div");
    r = ParseMarker(converter, "|{(c)} x");
    EXPECT_EQ(r.element.name, "div");
    EXPECT_EQ(r.element.className, "c");
    r = ParseMarker(converter, "|{ a} x");
    EXPECT_EQ(r.element.name, "div");
    EXPECT_EQ(r.element.params, (std::vector<std::string>{"a"}));
}

std::vector<std::string> Params(std::string_view head) {
    testing::ConverterAccess converter;
    OpenElement element;
    const char* cursor = head.data();
    EXPECT_EQ(converter.ParseElementHead(cursor, head.data() + head.size(), element, "span", "}"),
              0)
        << head;
    return element.params;
}

using Strings = std::vector<std::string>;

TEST(ElementHeads, Parameters) {
    EXPECT_EQ(Params("k \"a}b\" c}"), (Strings{"a}b", "c"}));
    EXPECT_EQ(Params("k \"a\"b"), (Strings{"a", "b"}));
    EXPECT_EQ(Params("k \"\" x"), (Strings{"", "x"}));
    EXPECT_EQ(Params("k \"q\\\"\\\\\""), (Strings{"q&quot;\\"}));
    EXPECT_EQ(Params("k a\"b(c"), (Strings{"a&quot;b(c"}));
    EXPECT_EQ(Params("k   x\ty  "), (Strings{"x\ty"}));
    EXPECT_EQ(Params("k <&>"), (Strings{"&lt;&amp;&gt;"}));
}

TEST(ElementHeads, UnterminatedQuotedParameterFails) {
    testing::ConverterAccess converter;
    for (std::string_view head : {"k \"abc", "k \"abc\\"}) {
        OpenElement element;
        const char* cursor = head.data();
        EXPECT_LT(converter.ParseElementHead(cursor, head.data() + head.size(), element, "div", ""),
                  0)
            << head;
    }
}

TEST(ElementHeads, ClassAndIdGroup) {
    testing::ConverterAccess converter;
    auto parse = [&](std::string_view group, OpenElement& element) {
        const char* cursor = group.data();
        return converter.ParseClassAndId(cursor, group.data() + group.size(), element, ")");
    };
    OpenElement idOnly;
    EXPECT_EQ(parse("#top)", idOnly), 0);
    EXPECT_EQ(idOnly.className, "");
    EXPECT_EQ(idOnly.id, "top");
    // The character after "#" always joins the id, even "#".
    OpenElement hashId;
    EXPECT_EQ(parse("c##x)", hashId), 0);
    EXPECT_EQ(hashId.id, "#x");
    OpenElement unclosed;
    EXPECT_LT(parse("abc", unclosed), 0);
}

TEST(ElementNames, WellFormedNames) {
    for (std::string_view name : {"a", "note", "x-1.y_z", "ns:tag", "_x", ":x", "\x95\x5C"}) {
        EXPECT_TRUE(DocumentConverter::IsWellFormedName(name)) << name;
    }
    for (std::string_view name :
         {"", "1a", "-a", ".a", "a/b", "a=b", "a\"b", "a<b", "a&b", "a\tb"}) {
        EXPECT_FALSE(DocumentConverter::IsWellFormedName(name)) << name;
    }
}

TEST(ElementNames, BadNamesRejectTheLineInBothModes) {
    for (std::string_view line : {"|{img/onerror=alert(1)} x", ":a<b", ":1x", "_x{a&b}"}) {
        const std::string expected =
            "<pre class=\"incomplete\">" + DocumentConverter::EscapeText(line) + "</pre>\r\n";
        EXPECT_EQ(HtmlOf({line}), expected) << line;
        EXPECT_EQ(XmlOf({line}), expected) << line;
    }
    // Default names are not checked, and a good name with a double-byte character passes.
    EXPECT_EQ(XmlOf({"_x{(c)}"}), "<paragraph><span class=\"c\">x</span>\r\n</paragraph>\r\n");
    EXPECT_EQ(XmlOf({":\x95\x5C"}), "<div class=\"\x95\x5C\"><\x95\x5C></\x95\x5C>\r\n</div>\r\n");
}

}  // namespace
}  // namespace quirtle
