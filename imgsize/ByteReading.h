#pragma once

#include <cstdint>
#include <optional>

#include "ByteSource.h"

namespace quirtle::imgsize {

// Fixed-size unsigned numbers read from a source. Each needs all of its bytes: a short
// or failed read gives nothing.
std::optional<std::uint8_t> ReadByte(ByteSource& source);
std::optional<std::uint16_t> ReadBigEndian16(ByteSource& source);
std::optional<std::uint32_t> ReadBigEndian32(ByteSource& source);
std::optional<std::uint16_t> ReadLittleEndian16(ByteSource& source);

}  // namespace quirtle::imgsize
