#include "ReaderTestSupport.h"

namespace quirtle::imgsize::testing {
namespace {

TEST(PngReader, ReadsTheHeaderChunk) {
    ExpectFound(ReadPngSize, Png(800, 600), 800, 600);
    ExpectFound(ReadPngSize, kPngSignature + HeaderChunk(0x7FFFFFFF, 1), 0x7FFFFFFF, 1);
    // The signature is skipped, not checked.
    ExpectFound(ReadPngSize, Bytes(8, 0) + HeaderChunk(3, 4), 3, 4);
}

TEST(PngReader, SkipsChunksBeforeTheHeader) {
    const Bytes image = kPngSignature + Chunk("tEXt", Bytes(1000, 'x')) +
                        Chunk("ihdr", Bytes(13, 9)) + Chunk("IHDr", Bytes(13, 9)) +
                        HeaderChunk(12, 34);
    MemoryByteSource source(image);
    const ReadResult result = ReadPngSize(source);
    EXPECT_EQ(result.outcome, ReadOutcome::Found);
    EXPECT_EQ(result.size.width, 12);
    EXPECT_EQ(result.size.height, 34);
    // Lengths and types of the three skipped chunks, then the header's length, type, size.
    EXPECT_EQ(source.BytesDelivered(), 3u * 8u + 16u);
}

TEST(PngReader, EveryTruncationBeforeTheHeightEndsIsInvalid) {
    const Bytes image = kPngSignature + Chunk("gAMA", {0, 0, 0xB1, 0x8F}) + HeaderChunk(5, 6);
    const std::size_t heightEnd = image.size() - 9;  // five header bytes and the checksum
    for (std::size_t size = 0; size < heightEnd; ++size) {
        SCOPED_TRACE(size);
        ExpectInvalid(ReadPngSize, Bytes(image.begin(), image.begin() + size));
    }
    ExpectFound(ReadPngSize, Bytes(image.begin(), image.begin() + heightEnd), 5, 6);
}

TEST(PngReader, RejectsChunkLengthsOutsideTheFormat) {
    ExpectInvalid(ReadPngSize, kPngSignature + Chunk("IEND", {}) + HeaderChunk(1, 1));
    // Even a header chunk is refused when its length is zero.
    ExpectInvalid(ReadPngSize, kPngSignature + BigEndian32(0) + Bytes{'I', 'H', 'D', 'R'} +
                                   BigEndian32(1) + BigEndian32(1));

    // The largest allowed length is skipped (past the end here); one more is refused at once.
    const Bytes largest = kPngSignature + BigEndian32(0x7FFFFFFF) + Bytes{'a', 'b', 'c', 'd'};
    MemoryByteSource largestSource(largest);
    EXPECT_EQ(ReadPngSize(largestSource).outcome, ReadOutcome::Invalid);
    EXPECT_EQ(largestSource.Position(), 16u + 0x7FFFFFFFu + 4u);

    const Bytes tooLong = kPngSignature + BigEndian32(0x80000000) + Bytes{'a', 'b', 'c', 'd'};
    MemoryByteSource tooLongSource(tooLong);
    EXPECT_EQ(ReadPngSize(tooLongSource).outcome, ReadOutcome::Invalid);
    EXPECT_EQ(tooLongSource.Position(), 12u);
}

TEST(PngReader, RejectsSizesThatDoNotFitASignedNumber) {
    ExpectInvalid(ReadPngSize, kPngSignature + HeaderChunk(0x80000000, 1));
    ExpectInvalid(ReadPngSize, kPngSignature + HeaderChunk(1, 0xFFFFFFFF));
}

}  // namespace
}  // namespace quirtle::imgsize::testing
