#include "ui/ProgramStart.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QtGlobal>

namespace quirtle {

QString ProgramDirectory() {
    QString directory = QCoreApplication::applicationDirPath();
    if (!directory.endsWith('/')) directory += '/';
    return directory;
}

void PrepareWebEngine() {
    if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

}  // namespace quirtle
