#pragma once

#include <QByteArray>
#include <ctime>
#include <string_view>
#include <vector>

namespace quirtle::recovery {

// A recovery copy left by a program that no longer runs. While this object is held, the
// copy is locked by this program, so no other program offers or takes it.
struct FoundCopy {
    QByteArray id;  // the copy's name in the folder, without extension
    QByteArray
        manuscriptPath;  // the manuscript's path as the file system spells it; empty = untitled
    std::time_t written = 0;  // when the copy was last written
    long long size = 0;       // bytes of UTF-8 text
    int lockFd = -1;
};

// The files of the recovery copies in one folder. Each running program owns one entry:
//   <id>.lock  held with an exclusive lock for the program's whole life (the system
//              releases it however the program ends, kill -9 included);
//   <id>.txt   the unsaved text in UTF-8, replaced atomically (temporary file, fsync,
//              rename, fsync of the folder);
//   <id>.path  the manuscript's path, written the same way before the text.
// A copy whose lock nobody holds belongs to a program that has ended. Copies the author
// chose not to restore go to the folder "kept/" and are removed after a week.
class RecoveryStore {
  public:
    explicit RecoveryStore(QByteArray folder);
    ~RecoveryStore();  // releases the lock; the files stay unless Close() removed them
    RecoveryStore(const RecoveryStore&) = delete;
    RecoveryStore& operator=(const RecoveryStore&) = delete;

    // Creates the folder (mode 0700) and this program's locked entry. 0, or the errno of
    // the step that failed.
    int Open();
    bool IsOpen() const { return lockFd_ >= 0; }
    const QByteArray& Folder() const { return folder_; }
    QByteArray KeptFolder() const { return folder_ + "/kept"; }
    // This program's copy: <folder>/<id>.txt.
    QByteArray CopyPath() const;

    // Replaces this program's copy. 0, or the errno of the step that failed (the previous
    // copy then stays as it was). One call at a time; any thread.
    int Write(std::string_view utf8, const QByteArray& manuscriptPath);
    // Removes this program's copy; the entry stays locked.
    void RemoveCopy();
    // Removes the copy and the lock: the program ends normally.
    void Close();

    // The copies of programs that have ended, newest first, each locked for this program.
    // Stale entries without a text are cleaned away.
    std::vector<FoundCopy> FindAbandoned();
    // The text of a found copy; false when it cannot be read.
    bool ReadText(const FoundCopy& copy, QByteArray& text) const;
    // Makes a found copy this program's own (its text stays on disk as ours) and releases
    // it. 0 or an errno.
    int Adopt(FoundCopy& copy);
    // Moves a found copy into the kept folder, dated now, and releases it. 0 or an errno.
    int Keep(FoundCopy& copy);
    // Lets go of a found copy, which stays for the next start.
    static void Release(FoundCopy& copy);
    // Removes kept copies older than `maxAge` seconds before `now`.
    void PurgeKept(std::time_t now, std::time_t maxAge) const;

  private:
    QByteArray EntryPath(const QByteArray& id, const char* extension) const;
    // Writes a file of this entry atomically.
    int ReplaceFile(const QByteArray& path, std::string_view bytes) const;
    // Locks another program's entry when nobody holds it; -1 otherwise.
    int LockAbandoned(const QByteArray& id) const;

    QByteArray folder_;
    QByteArray id_;
    int lockFd_ = -1;
    QByteArray writtenPath_;
    bool pathWritten_ = false;
};

}  // namespace quirtle::recovery
