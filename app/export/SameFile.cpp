#include "export/SameFile.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "text/FileNames.h"

namespace quirtle {
namespace {

bool Stat(const QString& path, struct stat& info) {
    return stat(text::FileNameToBytes(path).constData(), &info) == 0;
}

// Where the path leads: its folder resolved as far as it exists, then the file name.
QString ResolvedLocation(const QString& path) {
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (folder.isEmpty()) return QDir::cleanPath(info.absoluteFilePath());
    return QDir::cleanPath(folder + QLatin1Char('/') + info.fileName());
}

}  // namespace

bool IsSameFile(const QString& first, const QString& second) {
    if (first.isEmpty() || second.isEmpty()) return false;
    struct stat a {};
    struct stat b {};
    if (Stat(first, a) && Stat(second, b)) return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    return ResolvedLocation(first) == ResolvedLocation(second);
}

}  // namespace quirtle
