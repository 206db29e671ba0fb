#include "process/ChildPipe.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <new>

namespace quirtle::process {
namespace {

// Keeps SIGPIPE blocked on the calling thread while it lives. A SIGPIPE raised by a write
// in that time is taken off the thread again before the old mask comes back, so the
// program is neither killed nor disturbed by it.
class SigpipeGuard {
  public:
    SigpipeGuard() {
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        blocked_ = pthread_sigmask(SIG_BLOCK, &pipeSignal, &oldMask_) == 0;
    }
    ~SigpipeGuard() {
        if (!blocked_) return;
        if (raised_ && !wasPending_) {
            sigset_t pipeSignal;
            sigemptyset(&pipeSignal);
            sigaddset(&pipeSignal, SIGPIPE);
            const timespec noWait{0, 0};
            while (sigtimedwait(&pipeSignal, nullptr, &noWait) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &oldMask_, nullptr);
    }
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;

    void NoteBrokenPipe() { raised_ = true; }

  private:
    sigset_t oldMask_{};
    bool blocked_ = false;
    bool wasPending_ = false;
    bool raised_ = false;
};

void CloseIfOpen(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

ChildPipe::~ChildPipe() {
    // A reader still running keeps its own end until it ends (see ReaderThread).
    reader_.reset();
    CloseIfOpen(childEnd_);
    CloseIfOpen(ownEnd_);
}

Status ChildPipe::Create(PipeDirection direction) {
    if (childEnd_ >= 0 || ownEnd_ >= 0) return kStatusInvalidParameter;
    int ends[2] = {-1, -1};
    if (pipe2(ends, O_CLOEXEC) != 0) return StatusFromError(errno);
    direction_ = direction;
    if (direction == PipeDirection::ChildWrites) {
        childEnd_ = ends[1];
        ownEnd_ = ends[0];
    } else {
        childEnd_ = ends[0];
        ownEnd_ = ends[1];
    }
    return kStatusOk;
}

void ChildPipe::CloseChildEnd() {
    CloseIfOpen(childEnd_);
}

void ChildPipe::CloseOwnEnd() {
    CloseIfOpen(ownEnd_);
}

bool ChildPipe::StartReader() {
    if (direction_ != PipeDirection::ChildWrites || ownEnd_ < 0 || reader_) return false;
    try {
        auto reader = std::make_unique<ReaderThread>(ownEnd_);
        ownEnd_ = -1;
        const bool started = reader->Start();
        // A reader that did not start still holds the own end and closes it when it goes.
        reader_ = std::move(reader);
        if (!started) return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

Status ChildPipe::Write(std::string_view bytes) {
    if (direction_ != PipeDirection::ChildReads || ownEnd_ < 0) return kStatusInvalidParameter;
    SigpipeGuard guard;
    while (!bytes.empty()) {
        const ssize_t written = write(ownEnd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            if (error == EPIPE) guard.NoteBrokenPipe();
            return StatusFromError(error);
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return kStatusOk;
}

}  // namespace quirtle::process
