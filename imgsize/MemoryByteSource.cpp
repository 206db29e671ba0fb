#include "MemoryByteSource.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace quirtle::imgsize {

std::size_t MemoryByteSource::Read(std::uint8_t* buffer, std::size_t count) {
    if (position_ >= bytes_.size()) {
        return 0;
    }
    const std::size_t available = bytes_.size() - static_cast<std::size_t>(position_);
    const std::size_t delivered = std::min(count, available);
    std::memcpy(buffer, bytes_.data() + position_, delivered);
    position_ += delivered;
    delivered_ += delivered;
    return delivered;
}

bool MemoryByteSource::Skip(std::uint64_t count) {
    if (count > std::numeric_limits<std::uint64_t>::max() - position_) {
        return false;
    }
    position_ += count;
    return true;
}

}  // namespace quirtle::imgsize
