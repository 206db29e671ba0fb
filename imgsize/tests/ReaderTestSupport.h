#pragma once

#include <gtest/gtest.h>

#include "ImageReaders.h"
#include "MemoryByteSource.h"
#include "TestImages.h"

namespace quirtle::imgsize::testing {

using Reader = ReadResult (*)(ByteSource&);

inline ReadResult ReadBytes(Reader reader, const Bytes& bytes) {
    MemoryByteSource source(bytes);
    return reader(source);
}

inline void ExpectFound(Reader reader, const Bytes& bytes, int width, int height) {
    const ReadResult result = ReadBytes(reader, bytes);
    EXPECT_EQ(result.outcome, ReadOutcome::Found);
    EXPECT_EQ(result.size.width, width);
    EXPECT_EQ(result.size.height, height);
}

inline void ExpectInvalid(Reader reader, const Bytes& bytes) {
    const ReadResult result = ReadBytes(reader, bytes);
    EXPECT_EQ(result.outcome, ReadOutcome::Invalid);
    EXPECT_EQ(result.size.width, -1);
    EXPECT_EQ(result.size.height, -1);
}

}  // namespace quirtle::imgsize::testing
