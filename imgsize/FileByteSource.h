#pragma once

#include <array>
#include <cstdint>

#include "ByteSource.h"

namespace quirtle::imgsize {

// A source over an open file descriptor (not owned). Reads go through a small read-ahead
// buffer taken at the current position; skips only move the position, so the bytes skipped
// are never read from the file.
class FileByteSource final : public ByteSource {
  public:
    explicit FileByteSource(int fd) : fd_(fd) {}

    std::size_t Read(std::uint8_t* buffer, std::size_t count) override;
    bool Skip(std::uint64_t count) override;

    // How many bytes were read from the file so far (read-ahead included).
    std::uint64_t BytesFetched() const { return fetched_; }

    // Large enough for a marker, a segment length and a frame header in one read.
    static constexpr std::size_t kReadAhead = 256;

  private:
    bool Fill();

    int fd_;
    std::uint64_t position_ = 0;     // where the next read starts
    std::uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
    std::size_t bufferLength_ = 0;
    std::uint64_t fetched_ = 0;
    std::array<std::uint8_t, kReadAhead> buffer_{};
};

}  // namespace quirtle::imgsize
