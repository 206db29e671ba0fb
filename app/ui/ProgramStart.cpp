#include "ui/ProgramStart.h"

#include <QCoreApplication>
#include <QtGlobal>

#include <unistd.h>

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
