#include "documents/ManuscriptFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "base/WriteAll.h"

namespace quirtle::documents {
namespace {

// Owns one file descriptor.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    // Closes now and reports the error, which matters after writing (NFS, quotas).
    int Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// The file the bytes really go to: a symbolic link is followed to the file it names.
QByteArray ResolveTarget(const QByteArray& path) {
    struct stat link {};
    if (::lstat(path.constData(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.constData(), resolved) == nullptr) return path;
    return QByteArray(resolved);
}

QByteArray FolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) return QByteArray(".");
    if (slash == 0) return QByteArray("/");
    return path.left(slash);
}

// Writes the bytes to the open temporary file, gives it the target's mode and owner, and
// flushes it to disk.
int FillTemporary(Descriptor& temporary, std::string_view bytes, const struct stat* existing) {
    if (const int error = WriteAll(temporary.get(), bytes)) return error;
    if (existing != nullptr) {
        // Only root may give a file away; for everyone else the owner is already right.
        if (existing->st_uid != ::geteuid() || existing->st_gid != ::getegid()) {
            (void)::fchown(temporary.get(), existing->st_uid, existing->st_gid);
        }
        (void)::fchmod(temporary.get(), existing->st_mode & 07777);
    } else {
        (void)::fchmod(temporary.get(), 0666 & ~CurrentUmask());
    }
    if (::fsync(temporary.get()) != 0) return errno;
    return temporary.Close();
}

}  // namespace

std::optional<std::string> ReadManuscriptBytes(const QByteArray& nativePath) {
    Descriptor file(::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0) return std::nullopt;
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;

    std::string bytes;
    bytes.reserve(static_cast<size_t>(status.st_size));
    char chunk[65536];
    for (;;) {
        const ssize_t count = ::read(file.get(), chunk, sizeof chunk);
        if (count < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (count == 0) break;
        bytes.append(chunk, static_cast<size_t>(count));
    }
    return bytes;
}

int ReplaceFileContents(const QByteArray& nativePath, std::string_view bytes) {
    const QByteArray target = ResolveTarget(nativePath);

    struct stat existing {};
    const bool exists = ::stat(target.constData(), &existing) == 0;
    if (!exists && errno != ENOENT) return errno;
    if (exists && S_ISDIR(existing.st_mode)) return EISDIR;
    // Renaming over a device, a pipe or a socket would replace it by a plain file.
    if (exists && !S_ISREG(existing.st_mode)) return EINVAL;
    // The rename would go through a file the user may not write or has made read-only
    // (no write bit for anyone, which holds even for root): such a file stays as it is.
    if (exists && (existing.st_mode & 0222) == 0) return EACCES;
    if (exists && ::access(target.constData(), W_OK) != 0) return errno;

    QByteArray temporaryName = FolderOf(target) + "/.quirtle-XXXXXX.tmp";
    Descriptor temporary(::mkostemps(temporaryName.data(), 4, O_CLOEXEC));
    if (temporary.get() < 0) return errno;

    int error = FillTemporary(temporary, bytes, exists ? &existing : nullptr);
    if (error == 0 && ::rename(temporaryName.constData(), target.constData()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporaryName.constData());
        return error;
    }

    // Make the rename itself durable; the new content is already safe on disk, so a
    // failure here is not reported.
    Descriptor folder(::open(FolderOf(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) (void)::fsync(folder.get());
    return 0;
}

}  // namespace quirtle::documents
