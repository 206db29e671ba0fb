#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "FileByteSource.h"
#include "ImageReaders.h"
#include "TempDirectory.h"

namespace quirtle::imgsize::testing {
namespace {

class FileByteSourceTest : public ::testing::Test {
  protected:
    int Open(const Bytes& bytes) {
        fd_ = open(directory_.Write("data", bytes).c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_GE(fd_, 0);
        return fd_;
    }
    void TearDown() override {
        if (fd_ >= 0) close(fd_);
    }

    TempDirectory directory_;
    int fd_ = -1;
};

TEST_F(FileByteSourceTest, ReadsAndSkipsAcrossItsBuffer) {
    Bytes data(1000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    FileByteSource source(Open(data));

    std::uint8_t first = 0;
    ASSERT_EQ(source.Read(&first, 1), 1u);
    EXPECT_EQ(first, data[0]);
    ASSERT_TRUE(source.Skip(10));  // inside the read-ahead
    Bytes piece(600);
    ASSERT_EQ(source.Read(piece.data(), piece.size()), piece.size());
    EXPECT_EQ(piece, Bytes(data.begin() + 11, data.begin() + 611));
    ASSERT_TRUE(source.Skip(300));  // beyond the read-ahead
    Bytes tail(200);
    EXPECT_EQ(source.Read(tail.data(), tail.size()), 89u);
    EXPECT_EQ(Bytes(tail.begin(), tail.begin() + 89), Bytes(data.begin() + 911, data.end()));
    EXPECT_EQ(source.Read(tail.data(), 1), 0u);
    ASSERT_TRUE(source.Skip(1u << 30));  // moving past the end is allowed
    EXPECT_EQ(source.Read(tail.data(), 1), 0u);
}

TEST_F(FileByteSourceTest, AWalkReadsOnlyAFewBlocksOfALargeFile) {
    Bytes image = kStartOfImage;
    for (int i = 0; i < 160; ++i) image = image + Segment(0xE1, Bytes(65000, 0x11));
    image = image + Frame(0xC0, 2000, 3000) + Scan() + kEndOfImage;
    ASSERT_GT(image.size(), 10'000'000u);
    FileByteSource source(Open(image));
    const ReadResult result = ReadJpegSize(source);
    EXPECT_EQ(result.outcome, ReadOutcome::Found);
    EXPECT_EQ(result.size.width, 3000);
    EXPECT_EQ(result.size.height, 2000);
    EXPECT_LE(source.BytesFetched(), 162u * FileByteSource::kReadAhead);
}

}  // namespace
}  // namespace quirtle::imgsize::testing
