#include <gtest/gtest.h>

#include "ImageSizeTool.h"

namespace quirtle::imgsize {
namespace {

TEST(Extension, StartsAtTheLastDotOfTheLastComponent) {
    const struct {
        std::string_view path;
        std::size_t extension;
    } cases[] = {
        {"photo.jpg", 5},
        {"a.b.png", 3},
        {"dir/photo.gif", 9},
        {"dir.d/photo", 11},
        {"dir.d/", 6},
        {"noextension", 11},
        {"trailing.", 8},
        {"dir/.png", 4},
        {".png", 0},
        {".", 0},
        {"", 0},
        {"my pictures/a b.jpeg", 15},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindExtension(c.path), c.extension) << c.path;
    }
}

TEST(Extension, ChoosesTheReaderIgnoringLetterCase) {
    for (std::string_view jpeg : {".jpg", ".JPG", ".jpeg", ".Jpeg", ".jPeG"}) {
        EXPECT_EQ(FormatForExtension(jpeg), ImageFormat::Jpeg) << jpeg;
    }
    EXPECT_EQ(FormatForExtension(".PNG"), ImageFormat::Png);
    EXPECT_EQ(FormatForExtension(".Gif"), ImageFormat::Gif);
    for (std::string_view other : {".bmp", ".jpe", ".jpgx", "jpg", ".", "", ".pn", ".png "}) {
        EXPECT_EQ(FormatForExtension(other), ImageFormat::Other) << other;
    }
}

}  // namespace
}  // namespace quirtle::imgsize
