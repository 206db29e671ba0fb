#include "recovery/RecoveryStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QList>
#include <algorithm>
#include <cerrno>
#include <map>

#include "base/WriteAll.h"

namespace quirtle::recovery {
namespace {

void SyncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

// Creates a folder and the folders above it, for this user only.
int MakeFolders(const QByteArray& folder) {
    struct stat info {};
    if (::stat(folder.constData(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    const qsizetype slash = folder.lastIndexOf('/');
    if (slash > 0) {
        if (const int error = MakeFolders(folder.left(slash))) return error;
    }
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST) return errno;
    return 0;
}

bool ReadWhole(const QByteArray& path, QByteArray& bytes) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    bytes.clear();
    char chunk[65536];
    for (;;) {
        const ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            ::close(fd);
            return false;
        }
        if (count == 0) break;
        bytes.append(chunk, count);
    }
    ::close(fd);
    return true;
}

// The entries of a folder: each id with the extensions seen.
std::map<QByteArray, QList<QByteArray>> Entries(const QByteArray& folder) {
    std::map<QByteArray, QList<QByteArray>> entries;
    DIR* directory = ::opendir(folder.constData());
    if (directory == nullptr) return entries;
    while (const dirent* entry = ::readdir(directory)) {
        const QByteArray name(entry->d_name);
        if (!name.startsWith("copy-")) continue;
        const qsizetype dot = name.indexOf('.');
        if (dot < 0) continue;
        entries[name.left(dot)].append(name.mid(dot));
    }
    ::closedir(directory);
    return entries;
}

}  // namespace

RecoveryStore::RecoveryStore(QByteArray folder) : folder_(std::move(folder)) {}

RecoveryStore::~RecoveryStore() {
    if (lockFd_ >= 0) ::close(lockFd_);
}

QByteArray RecoveryStore::EntryPath(const QByteArray& id, const char* extension) const {
    return folder_ + '/' + id + extension;
}

QByteArray RecoveryStore::CopyPath() const {
    return EntryPath(id_, ".txt");
}

int RecoveryStore::Open() {
    if (lockFd_ >= 0) return 0;
    if (const int error = MakeFolders(folder_)) return error;
    QByteArray pattern = folder_ + "/copy-XXXXXX.lock";
    const int fd = ::mkostemps(pattern.data(), 5, O_CLOEXEC);
    if (fd < 0) return errno;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::unlink(pattern.constData());
        ::close(fd);
        return error;
    }
    lockFd_ = fd;
    const QByteArray name = pattern.mid(folder_.size() + 1);
    id_ = name.left(name.size() - 5);
    return 0;
}

int RecoveryStore::ReplaceFile(const QByteArray& path, std::string_view bytes) const {
    QByteArray temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    int error = WriteAll(fd, bytes);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.constData(), path.constData()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.constData());
        return error;
    }
    SyncFolder(folder_);
    return 0;
}

int RecoveryStore::Write(std::string_view utf8, const QByteArray& manuscriptPath) {
    if (lockFd_ < 0) return EBADF;
    if (!pathWritten_ || manuscriptPath != writtenPath_) {
        const std::string_view path(manuscriptPath.constData(),
                                    static_cast<size_t>(manuscriptPath.size()));
        if (const int error = ReplaceFile(EntryPath(id_, ".path"), path)) return error;
        writtenPath_ = manuscriptPath;
        pathWritten_ = true;
    }
    return ReplaceFile(EntryPath(id_, ".txt"), utf8);
}

void RecoveryStore::RemoveCopy() {
    if (lockFd_ < 0) return;
    ::unlink(EntryPath(id_, ".txt").constData());
    ::unlink(EntryPath(id_, ".path").constData());
    pathWritten_ = false;
}

void RecoveryStore::Close() {
    if (lockFd_ < 0) return;
    RemoveCopy();
    // Unlinked before it is unlocked: a program that opened it meanwhile finds the name
    // gone once it gets the lock, and leaves it alone.
    ::unlink(EntryPath(id_, ".lock").constData());
    ::close(lockFd_);
    lockFd_ = -1;
}

int RecoveryStore::LockAbandoned(const QByteArray& id) const {
    const QByteArray lockPath = EntryPath(id, ".lock");
    const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return -1;
    struct stat held {};
    struct stat named {};
    // The lock counts only while the name still leads to the locked file.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &held) != 0 ||
        ::stat(lockPath.constData(), &named) != 0 || held.st_ino != named.st_ino ||
        held.st_dev != named.st_dev) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::vector<FoundCopy> RecoveryStore::FindAbandoned() {
    std::vector<FoundCopy> found;
    for (const auto& [id, extensions] : Entries(folder_)) {
        if (id == id_) continue;
        const int fd = LockAbandoned(id);
        if (fd < 0) continue;  // its program is still running
        // Temporary files of a write that never finished are of no use.
        for (const QByteArray& extension : extensions) {
            if (extension != ".txt" && extension != ".path" && extension != ".lock")
                ::unlink(EntryPath(id, extension.constData()).constData());
        }
        struct stat text {};
        if (::stat(EntryPath(id, ".txt").constData(), &text) != 0 || !S_ISREG(text.st_mode)) {
            ::unlink(EntryPath(id, ".path").constData());
            ::unlink(EntryPath(id, ".lock").constData());
            ::close(fd);
            continue;
        }
        FoundCopy copy;
        copy.id = id;
        copy.written = text.st_mtime;
        copy.size = text.st_size;
        copy.lockFd = fd;
        ReadWhole(EntryPath(id, ".path"), copy.manuscriptPath);
        found.push_back(std::move(copy));
    }
    std::sort(found.begin(), found.end(),
              [](const FoundCopy& a, const FoundCopy& b) { return a.written > b.written; });
    return found;
}

bool RecoveryStore::ReadText(const FoundCopy& copy, QByteArray& text) const {
    return ReadWhole(EntryPath(copy.id, ".txt"), text);
}

int RecoveryStore::Adopt(FoundCopy& copy) {
    if (lockFd_ < 0) return EBADF;
    if (::rename(EntryPath(copy.id, ".path").constData(), EntryPath(id_, ".path").constData()) !=
        0) {
        // No path beside the text: an untitled manuscript.
        ::unlink(EntryPath(id_, ".path").constData());
    }
    if (::rename(EntryPath(copy.id, ".txt").constData(), EntryPath(id_, ".txt").constData()) != 0)
        return errno;
    pathWritten_ = true;
    writtenPath_ = copy.manuscriptPath;
    SyncFolder(folder_);
    ::unlink(EntryPath(copy.id, ".lock").constData());
    Release(copy);
    return 0;
}

int RecoveryStore::Keep(FoundCopy& copy) {
    const QByteArray kept = KeptFolder();
    if (const int error = MakeFolders(kept)) return error;
    const QByteArray keptText = kept + '/' + copy.id + ".txt";
    if (::rename(EntryPath(copy.id, ".txt").constData(), keptText.constData()) != 0) return errno;
    (void)::rename(EntryPath(copy.id, ".path").constData(),
                   (kept + '/' + copy.id + ".path").constData());
    // The week begins now.
    (void)::utimensat(AT_FDCWD, keptText.constData(), nullptr, 0);
    SyncFolder(kept);
    SyncFolder(folder_);
    ::unlink(EntryPath(copy.id, ".lock").constData());
    Release(copy);
    return 0;
}

void RecoveryStore::Release(FoundCopy& copy) {
    if (copy.lockFd >= 0) ::close(copy.lockFd);
    copy.lockFd = -1;
}

void RecoveryStore::PurgeKept(std::time_t now, std::time_t maxAge) const {
    const QByteArray kept = KeptFolder();
    for (const auto& [id, extensions] : Entries(kept)) {
        struct stat text {};
        const QByteArray textPath = kept + '/' + id + ".txt";
        if (::stat(textPath.constData(), &text) == 0 && now - text.st_mtime < maxAge) continue;
        for (const QByteArray& extension : extensions)
            ::unlink((kept + '/' + id + extension).constData());
    }
}

}  // namespace quirtle::recovery
