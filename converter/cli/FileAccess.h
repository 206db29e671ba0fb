// Reading the manuscript in pieces and writing the output as it is made, replacing an
// output file safely.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "OutputSink.h"

namespace quirtle {

// The manuscript file (or standard input), read in pieces into one buffer.
class InputFile {
  public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens the file at `path`, or standard input when `path` is empty or "-". On
    // failure returns false and sets `error` to the reason.
    bool Open(const std::string& path, std::string& error);
    // Reads more of the file after the `kept` bytes at the end of the buffer, which move to
    // its start; the buffer grows only when `kept` fills most of it (a very long line).
    // Sets `held` to the bytes now held, the kept ones first. On failure returns false
    // and sets `error`.
    bool ReadMore(std::size_t kept, std::string_view& held, std::string& error);
    // True once a read found the end of the file: `held` is all that is left.
    bool AtEnd() const { return atEnd; }

  private:
    int fd = -1;
    bool ownsFd = false;
    std::vector<char> buffer;
    std::size_t held = 0;  // bytes of `buffer` in use
    bool atEnd = false;
};

// Writes everything it is given to a file descriptor; remembers the first failure and
// writes nothing after it.
class FileSink : public OutputSink {
  public:
    explicit FileSink(int fd) : fd_(fd) {}
    void Write(std::string_view bytes) override;
    // 0, or the errno value of the first failed write.
    int Error() const { return error_; }

  private:
    int fd_;
    int error_ = 0;
};

// A file replaced as a whole: the bytes go to a temporary file in the same folder, which
// is flushed to disk and then renamed over the target, so a failure never leaves a
// truncated file. An existing file keeps its permissions and, where the user may give
// them (root), its owner and group; a symbolic link is written through and stays a link.
// An existing target that is not a regular file (a device such as /dev/null or
// /dev/stdout, a FIFO, a socket) is written directly instead: renaming over it would
// replace it by a plain file.
class ReplacementFile {
  public:
    ReplacementFile() = default;
    ~ReplacementFile();  // removes the temporary file unless committed
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Creates the temporary file for `path` (or opens a target that is not a regular file).
    // On failure returns false and sets `error`.
    bool Create(const std::string& path, std::string& error);
    int Descriptor() const { return fd; }
    // Flushes the temporary file and renames it over the target (or closes the target
    // written directly). On failure returns false, removes the temporary file and sets
    // `error`.
    bool Commit(std::string& error);

  private:
    std::string target;
    std::string temporary;
    int fd = -1;
    bool direct = false;  // the target itself is written, no temporary file
};

// The reason of an errno value as text.
std::string ErrorText(int error);

}  // namespace quirtle
