#include "FileByteSource.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace quirtle::imgsize {

namespace {

constexpr std::uint64_t kLargestOffset = std::numeric_limits<off_t>::max();

}  // namespace

// Refills the buffer from the current position; false on end of file or a read error.
bool FileByteSource::Fill() {
    bufferStart_ = position_;
    bufferLength_ = 0;
    if (position_ > kLargestOffset - buffer_.size()) {
        return false;
    }
    for (;;) {
        const ssize_t got =
            pread(fd_, buffer_.data(), buffer_.size(), static_cast<off_t>(position_));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        bufferLength_ = static_cast<std::size_t>(got);
        fetched_ += bufferLength_;
        return true;
    }
}

std::size_t FileByteSource::Read(std::uint8_t* buffer, std::size_t count) {
    std::size_t delivered = 0;
    while (delivered < count) {
        const bool inBuffer = position_ >= bufferStart_ && position_ < bufferStart_ + bufferLength_;
        if (!inBuffer && !Fill()) {
            break;
        }
        const auto offset = static_cast<std::size_t>(position_ - bufferStart_);
        const std::size_t piece = std::min(count - delivered, bufferLength_ - offset);
        std::memcpy(buffer + delivered, buffer_.data() + offset, piece);
        delivered += piece;
        position_ += piece;
    }
    return delivered;
}

bool FileByteSource::Skip(std::uint64_t count) {
    if (count > kLargestOffset - position_) {
        return false;
    }
    position_ += count;
    return true;
}

}  // namespace quirtle::imgsize
