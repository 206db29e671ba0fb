#pragma once

#include <cstdint>

#include "ByteSource.h"

namespace quirtle::imgsize {

// Width and height as the tool prints them; -1 means "not found".
struct ImageSize {
    std::int32_t width = -1;
    std::int32_t height = -1;
};

enum class ReadOutcome {
    Found,    // the size is in `size`
    NoSize,   // the walk ended normally without a size (JPEG end-of-image marker)
    Invalid,  // the file does not follow the format; `size` stays -1 and -1
};

struct ReadResult {
    ReadOutcome outcome = ReadOutcome::Invalid;
    ImageSize size;
};

// Each reader walks the source from its current position (the start of the file) and
// reads only the bytes its walk needs, skipping everything else.
ReadResult ReadJpegSize(ByteSource& source);
ReadResult ReadPngSize(ByteSource& source);
ReadResult ReadGifSize(ByteSource& source);

}  // namespace quirtle::imgsize
