#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>

namespace quirtle::testing {

// The helper program the tests start (built beside the tests).
inline std::string HelperPath() {
    return CHILD_HELPER_PATH;
}

inline QByteArray ReadWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return "<missing>";
    return file.readAll();
}

// How many descriptors this process has open right now.
inline int OpenDescriptorCount() {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
    return count - 1;  // the directory's own descriptor
}

inline bool IsOpen(int fd) {
    return fcntl(fd, F_GETFD) != -1;
}

}  // namespace quirtle::testing
