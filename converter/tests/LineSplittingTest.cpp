// Splitting the manuscript text into lines.
#include <string>
#include <vector>

#include "ConverterTestSupport.h"

namespace quirtle {
namespace {

std::vector<std::string> Split(const std::string& text) {
    return testing::LinesOf(text);
}

using Lines = std::vector<std::string>;

TEST(LineSplitting, EachTerminatorEndsOneLine) {
    EXPECT_EQ(Split(""), Lines{});
    EXPECT_EQ(Split("a\r\nb"), (Lines{"a", "b"}));
    EXPECT_EQ(Split("a\r\n"), (Lines{"a"}));
    EXPECT_EQ(Split("a\r\n\r\n"), (Lines{"a", ""}));
    EXPECT_EQ(Split("\r\n"), (Lines{""}));
    EXPECT_EQ(Split("a\rb"), (Lines{"a", "b"}));
    EXPECT_EQ(Split("a\nb"), (Lines{"a", "b"}));
    EXPECT_EQ(Split("a\n\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(Split("a\r"), (Lines{"a"}));
    EXPECT_EQ(Split("\n\n\r"), (Lines{"", "", ""}));
}

TEST(LineSplitting, MixedTerminatorsAndNulBytesKeepEveryByte) {
    const std::string text("x\0y\rz\r\n\nlast", 12);
    EXPECT_EQ(Split(text), (Lines{std::string("x\0y", 3), "z", "", "last"}));
}

TEST(LineSplitting, SplittingAgainReplacesTheLines) {
    testing::ConverterAccess converter;
    converter.SplitLines("one\r\ntwo\r\n");
    converter.SplitLines("three");
    const Lines lines = Split(converter.Text());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "three");
}

TEST(LineSplitting, LongRunsOfOneTerminatorKindStayExact) {
    // Many lines ended only by CR, then only by LF: positions must stay exact.
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        text += std::to_string(i) + "\r";
    }
    for (int i = 0; i < 1000; ++i) {
        text += std::to_string(i) + "\n";
    }
    const Lines lines = Split(text);
    ASSERT_EQ(lines.size(), 2000u);
    EXPECT_EQ(lines[999], "999");
    EXPECT_EQ(lines[1000], "0");
    EXPECT_EQ(lines[1999], "999");
}

}  // namespace
}  // namespace quirtle
