#pragma once

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

namespace quirtle {

// Watches the temporary file of an external edit after the editor program has returned
// and reports each complete save of it. The folder is watched as well: many editors save
// by writing a new file and renaming it over the old one, which ends a watch on the file
// itself. A save counts as complete once the file has stayed unchanged for a short while
// and reads the same before and after; bytes equal to the last ones reported (or to the
// text first written) are not reported again.
class TempFileWatch : public QObject {
    Q_OBJECT
  public:
    TempFileWatch(QString path, QByteArray written, QObject* parent = nullptr);

    const QString& path() const { return path_; }
    // Watches no more and reports nothing more.
    void Stop();
    // How long the file must stay unchanged before it is read (default 300 ms).
    void SetSettleTime(int milliseconds) { settle_.setInterval(milliseconds); }

  signals:
    void Saved(const QByteArray& bytes);

  private:
    void Changed();
    void Settle();

    QString path_;
    QByteArray last_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
    bool stopped_ = false;
};

}  // namespace quirtle
