#include "preview/FragmentFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "base/WriteAll.h"

namespace quirtle {

FragmentFile::FragmentFile() {
    // A temporary folder that is not there is not replaced by another place.
    const QString base = QDir::tempPath();
    if (base.isEmpty() || !QFileInfo(base).isDir()) return;
    folder = std::make_unique<QTemporaryDir>(base + QStringLiteral("/quirtle-preview-XXXXXX"));
    if (!folder->isValid()) return;
    const QString path = folder->filePath(QStringLiteral("contents.html"));
    url = QUrl::fromLocalFile(path);
    filePath = QFile::encodeName(path).toStdString();
    partPath = filePath + ".part";
}

bool FragmentFile::Write(std::string_view bytes) const {
    if (!IsValid()) return false;
    const int fd = ::open(partPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, bytes) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || std::rename(partPath.c_str(), filePath.c_str()) != 0) {
        ::unlink(partPath.c_str());
        return false;
    }
    return true;
}

}  // namespace quirtle
