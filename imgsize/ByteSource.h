#pragma once

#include <cstddef>
#include <cstdint>

namespace quirtle::imgsize {

// Where the image readers take their bytes from: an open file, or memory.
class ByteSource {
  public:
    virtual ~ByteSource() = default;

    // Copies up to `count` bytes from the current position into `buffer` and moves past
    // them. Returns how many bytes were delivered; fewer than `count` means that the data
    // ended or could not be read.
    virtual std::size_t Read(std::uint8_t* buffer, std::size_t count) = 0;

    // Moves the position `count` bytes forward without reading them. Moving beyond the
    // end is allowed (the next read then delivers nothing); false means the position could
    // not be moved at all.
    virtual bool Skip(std::uint64_t count) = 0;
};

}  // namespace quirtle::imgsize
