#include "export/TempFileWatch.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace quirtle {
namespace {

constexpr int kSettleMs = 300;

struct Stamp {
    bool exists = false;
    qint64 size = -1;
    QDateTime modified;
    bool operator==(const Stamp&) const = default;
};

Stamp StampOf(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) return {};
    return {true, info.size(), info.lastModified()};
}

}  // namespace

TempFileWatch::TempFileWatch(QString path, QByteArray written, QObject* parent)
    : QObject(parent), path_(std::move(path)), last_(std::move(written)) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &TempFileWatch::Settle);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &TempFileWatch::Changed);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &TempFileWatch::Changed);
    watcher_.addPath(QFileInfo(path_).absolutePath());
    watcher_.addPath(path_);
}

void TempFileWatch::Stop() {
    settle_.stop();
    const QStringList watched = watcher_.files() + watcher_.directories();
    if (!watched.isEmpty()) watcher_.removePaths(watched);
    stopped_ = true;
}

void TempFileWatch::Changed() {
    if (stopped_) return;
    // A file replaced by a rename is a new file: watch it again.
    if (!watcher_.files().contains(path_) && QFileInfo(path_).isFile()) watcher_.addPath(path_);
    settle_.start();
}

void TempFileWatch::Settle() {
    if (stopped_) return;
    const Stamp before = StampOf(path_);
    if (!before.exists) return;  // between an editor's delete and rename: wait for more
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return;
    const QByteArray bytes = file.readAll();
    const bool readWhole = file.error() == QFileDevice::NoError;
    file.close();
    if (!readWhole || StampOf(path_) != before || bytes.size() != before.size) {
        settle_.start();  // still being written
        return;
    }
    if (bytes == last_) return;
    last_ = bytes;
    emit Saved(bytes);
}

}  // namespace quirtle
