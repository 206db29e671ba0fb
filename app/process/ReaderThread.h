#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace quirtle::process {

// Drains a pipe a child writes into, on a thread of its own, and collects the text.
//
// Reads at most kReadSize bytes at a time; of each read, the text up to its first NUL
// byte is kept (later reads are still kept). End of file, or a broken pipe, is the normal
// end of the stream: the descriptor is closed and the exit code is 0. Any other read error
// ends the thread with exit code -1 and leaves the descriptor for the destructor.
class ReaderThread {
  public:
    static constexpr size_t kReadSize = 260;

    // Takes ownership of `fd`.
    explicit ReaderThread(int fd);
    virtual ~ReaderThread();
    ReaderThread(const ReaderThread&) = delete;
    ReaderThread& operator=(const ReaderThread&) = delete;

    // Starts the thread; false when no thread could be started.
    bool Start();
    // Waits without time limit for the thread to end; returns its exit code. The text is
    // the caller's to read only after this.
    int32_t Wait();
    bool running() const { return thread_.joinable(); }
    const std::string& text() const;

  private:
    struct Stream;
    static void Drain(Stream& stream);

    std::shared_ptr<Stream> stream_;
    std::thread thread_;
};

}  // namespace quirtle::process
