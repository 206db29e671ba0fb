#include "ReaderTestSupport.h"

namespace quirtle::imgsize::testing {
namespace {

TEST(JpegReader, ReadsBaselineAndProgressiveFrames) {
    ExpectFound(ReadJpegSize, Jpeg(1920, 1080), 1920, 1080);
    ExpectFound(ReadJpegSize, kStartOfImage + Frame(0xC2, 7, 65535), 65535, 7);
    // The start-of-image marker is not required, and may repeat.
    ExpectFound(ReadJpegSize, Frame(0xC0, 2, 3), 3, 2);
    ExpectFound(ReadJpegSize, kStartOfImage + kStartOfImage + Frame(0xC0, 2, 3), 3, 2);
}

TEST(JpegReader, SkipsOtherFrameTypesAsSegments) {
    // An extended sequential frame (C1) gives no size; the walk goes on into the scan.
    const Bytes extended = kStartOfImage + Frame(0xC1, 100, 200) + Scan() + kEndOfImage;
    ExpectInvalid(ReadJpegSize, extended);
    const Bytes thenBaseline = kStartOfImage + Frame(0xC1, 100, 200) + Frame(0xC0, 30, 40);
    ExpectFound(ReadJpegSize, thenBaseline, 40, 30);
    // The start-of-scan header is skipped by its length; another marker must follow it.
    ExpectFound(ReadJpegSize, Segment(0xDA, {1, 2, 3}) + Frame(0xC0, 5, 6), 6, 5);
}

TEST(JpegReader, EndOfImageBeforeAFrameGivesNoSize) {
    const ReadResult result = ReadBytes(ReadJpegSize, kStartOfImage + kEndOfImage);
    EXPECT_EQ(result.outcome, ReadOutcome::NoSize);
    EXPECT_EQ(result.size.width, -1);
    EXPECT_EQ(result.size.height, -1);
}

TEST(JpegReader, EveryTruncationBeforeTheWidthEndsIsInvalid) {
    const Bytes image = kStartOfImage + Segment(0xE1, Bytes(40, 0x55)) + Frame(0xC0, 480, 640);
    const std::size_t widthEnd = image.size() - 10;  // ten component bytes follow the width
    for (std::size_t size = 0; size < widthEnd; ++size) {
        SCOPED_TRACE(size);
        ExpectInvalid(ReadJpegSize, Bytes(image.begin(), image.begin() + size));
    }
    ExpectFound(ReadJpegSize, Bytes(image.begin(), image.begin() + widthEnd), 640, 480);
}

TEST(JpegReader, RejectsMalformedMarkersAndLengths) {
    ExpectInvalid(ReadJpegSize, {0x00, 0xD8});
    ExpectInvalid(ReadJpegSize, kStartOfImage + Bytes{0x00} + Frame(0xC0, 1, 1));
    // Segments shorter than three bytes, an empty one (length 2) included.
    for (unsigned length : {0u, 1u, 2u}) {
        SCOPED_TRACE(length);
        ExpectInvalid(ReadJpegSize,
                      kStartOfImage + Bytes{0xFF, 0xE0} + BigEndian16(length) + Frame(0xC0, 1, 1));
    }
    // Fill bytes are not skipped: the second FF is a marker whose length is "FF C0".
    ExpectInvalid(ReadJpegSize, kStartOfImage + Bytes{0xFF} + Frame(0xC0, 1, 1));
    // A segment whose length runs past the end of the file.
    ExpectInvalid(ReadJpegSize, kStartOfImage + Bytes{0xFF, 0xE0, 0x10, 0x00, 0, 0});
}

TEST(JpegReader, ReadsOnlyMarkersAndLengthsOfSkippedSegments) {
    Bytes image = kStartOfImage;
    for (int i = 0; i < 40; ++i) {
        image = image + Segment(0xE2, Bytes(65000, 0xAA));
    }
    image = image + Frame(0xC0, 4000, 3000) + Scan();
    MemoryByteSource source(image);
    const ReadResult result = ReadJpegSize(source);
    EXPECT_EQ(result.outcome, ReadOutcome::Found);
    EXPECT_EQ(result.size.width, 3000);
    EXPECT_EQ(result.size.height, 4000);
    EXPECT_EQ(source.BytesDelivered(), 2u + 40u * 4u + 9u);
}

}  // namespace
}  // namespace quirtle::imgsize::testing
