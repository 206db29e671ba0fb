#pragma once

#include <cstdint>
#include <span>

#include "ByteSource.h"

namespace quirtle::imgsize {

// A source over bytes held in memory (tests and the fuzz target). It counts what it
// delivers, so callers can see how much of the data a walk actually read.
class MemoryByteSource final : public ByteSource {
  public:
    explicit MemoryByteSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t Read(std::uint8_t* buffer, std::size_t count) override;
    bool Skip(std::uint64_t count) override;

    std::uint64_t Position() const { return position_; }
    std::uint64_t BytesDelivered() const { return delivered_; }

  private:
    std::span<const std::uint8_t> bytes_;
    std::uint64_t position_ = 0;
    std::uint64_t delivered_ = 0;
};

}  // namespace quirtle::imgsize
