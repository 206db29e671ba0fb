#include "FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quirtle {

namespace {

// Bytes read at a time: large enough that a read costs little per byte, small enough to
// keep the memory of the program small whatever the size of the manuscript.
constexpr std::size_t readSize = 1 << 20;

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::string ErrorText(int error) {
    return std::strerror(error);
}

InputFile::~InputFile() {
    if (ownsFd && fd >= 0) {
        ::close(fd);
    }
}

bool InputFile::Open(const std::string& path, std::string& error) {
    if (path.empty() || path == "-") {
        fd = STDIN_FILENO;
        return true;
    }
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = ErrorText(errno);
        return false;
    }
    ownsFd = true;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        error = ErrorText(EISDIR);
        return false;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

bool InputFile::ReadMore(std::size_t kept, std::string_view& heldBytes, std::string& error) {
    if (kept > held) {
        kept = held;
    }
    if (kept > 0 && kept < held) {
        std::memmove(buffer.data(), buffer.data() + held - kept, kept);
    }
    held = kept;
    if (buffer.size() - held < readSize / 2) {
        buffer.resize(buffer.empty() ? readSize : 2 * buffer.size());
    }
    ssize_t count = 0;
    do {
        count = ::read(fd, buffer.data() + held, buffer.size() - held);
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        error = ErrorText(errno);
        return false;
    }
    held += static_cast<std::size_t>(count);
    atEnd = count == 0;
    heldBytes = std::string_view(buffer.data(), held);
    return true;
}

void FileSink::Write(std::string_view bytes) {
    while (error_ == 0 && !bytes.empty()) {
        const ssize_t count = ::write(fd_, bytes.data(), bytes.size());
        if (count < 0) {
            if (errno != EINTR) {
                error_ = errno;
            }
            continue;
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
}

ReplacementFile::~ReplacementFile() {
    if (fd >= 0) {
        ::close(fd);
    }
    if (!temporary.empty()) {
        ::unlink(temporary.c_str());
    }
}

bool ReplacementFile::Create(const std::string& path, std::string& error) {
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        error = ErrorText(EISDIR);
        return false;
    }
    std::string name = path + ".XXXXXX";
    fd = ::mkstemp(name.data());
    if (fd < 0) {
        error = ErrorText(errno);
        return false;
    }
    target = path;
    temporary = name;
    const mode_t mode = exists ? (existing.st_mode & 07777) : NewFileMode();
    if (::fchmod(fd, mode) != 0) {
        error = ErrorText(errno);
        return false;
    }
    return true;
}

bool ReplacementFile::Commit(std::string& error) {
    bool ok = ::fsync(fd) == 0;
    int failure = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    fd = -1;
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        failure = errno;
    }
    if (!ok) {
        error = ErrorText(failure);
        return false;
    }
    temporary.clear();
    return true;
}

}  // namespace quirtle
