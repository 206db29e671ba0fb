#include "ReaderTestSupport.h"

namespace quirtle::imgsize::testing {
namespace {

TEST(GifReader, ReadsTheLogicalScreenSize) {
    const Bytes image = Gif(640, 480);
    ASSERT_EQ(Bytes(image.begin() + 6, image.begin() + 10), (Bytes{0x80, 0x02, 0xE0, 0x01}));
    ExpectFound(ReadGifSize, image, 640, 480);
    ExpectFound(ReadGifSize, Gif(65535, 1), 65535, 1);
    // The signature is not checked, and nothing after the height is needed.
    ExpectFound(ReadGifSize, {'x', 'x', 'x', 'x', 'x', 'x', 2, 1, 4, 3}, 0x0102, 0x0304);
}

TEST(GifReader, AShortHeaderIsInvalid) {
    const Bytes image = Gif(1, 2);
    for (std::size_t size = 0; size < 10; ++size) {
        SCOPED_TRACE(size);
        ExpectInvalid(ReadGifSize, Bytes(image.begin(), image.begin() + size));
    }
}

}  // namespace
}  // namespace quirtle::imgsize::testing
