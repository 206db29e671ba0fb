#include "FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
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
    // A symbolic link is followed, so that the link itself is kept.
    std::string resolved = path;
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            resolved = real;
            std::free(real);
        }
    }
    struct stat existing {};
    const bool exists = ::stat(resolved.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        error = ErrorText(EISDIR);
        return false;
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        // A device, FIFO or socket is written to as it is (a FIFO waits for its reader).
        fd = ::open(resolved.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            error = ErrorText(errno);
            return false;
        }
        target = resolved;
        direct = true;
        return true;
    }
    std::string name = resolved + ".XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        error = ErrorText(errno);
        return false;
    }
    target = resolved;
    temporary = name;
    // Only root may give a file away; for everyone else the owner is already right, and
    // a group the user is not in cannot be kept (the mode is then set without it).
    if (exists && (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())) {
        (void)::fchown(fd, existing.st_uid, existing.st_gid);
    }
    const mode_t mode = exists ? (existing.st_mode & 07777) : NewFileMode();
    if (::fchmod(fd, mode) != 0) {
        error = ErrorText(errno);
        return false;
    }
    return true;
}

bool ReplacementFile::Commit(std::string& error) {
    if (direct) {
        const int closed = ::close(fd);
        fd = -1;
        if (closed != 0) {
            error = ErrorText(errno);
            return false;
        }
        return true;
    }
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
