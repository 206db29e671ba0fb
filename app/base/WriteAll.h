// Writing a whole byte string to a file descriptor.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace quirtle {

// Writes every byte, going on after short writes and interruptions; 0, or the errno of
// the write that failed.
inline int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

}  // namespace quirtle
