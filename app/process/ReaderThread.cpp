#include "process/ReaderThread.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace quirtle::process {

// Shared between the owner and the thread, so that a thread still running when its owner
// goes (the owner gave up waiting) keeps what it touches alive until it ends.
struct ReaderThread::Stream {
    int fd = -1;
    std::string text;
    int32_t exitCode = 0;

    ~Stream() {
        if (fd >= 0) close(fd);
    }
};

ReaderThread::ReaderThread(int fd) : stream_(std::make_shared<Stream>()) {
    stream_->fd = fd;
}

ReaderThread::~ReaderThread() {
    if (thread_.joinable()) thread_.detach();
}

bool ReaderThread::Start() {
    if (thread_.joinable()) return false;
    try {
        thread_ = std::thread([stream = stream_] { Drain(*stream); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

int32_t ReaderThread::Wait() {
    if (thread_.joinable()) thread_.join();
    return stream_->exitCode;
}

const std::string& ReaderThread::text() const {
    return stream_->text;
}

void ReaderThread::Drain(Stream& stream) {
    std::array<char, kReadSize + 1> buffer{};
    while (true) {
        const ssize_t count = read(stream.fd, buffer.data(), kReadSize);
        if (count > 0) {
            buffer[static_cast<size_t>(count)] = '\0';
            stream.text.append(buffer.data(), strlen(buffer.data()));
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        if (count == 0 || errno == EPIPE) {
            close(stream.fd);
            stream.fd = -1;
            stream.exitCode = 0;
        } else {
            stream.exitCode = -1;
        }
        return;
    }
}

}  // namespace quirtle::process
