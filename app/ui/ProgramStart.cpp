#include "ui/ProgramStart.h"

#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <QCoreApplication>
#include <QtGlobal>

namespace quirtle {

QString ProgramDirectory() {
    QString directory = QCoreApplication::applicationDirPath();
    if (!directory.endsWith('/')) directory += '/';
    return directory;
}

void PrepareWebEngine() {
#if defined(__GLIBC__)
    // Each preview makes and drops a few buffers of some megabytes. By default the C library
    // gives such blocks back to the system when they are freed, and the next preview pays a
    // page fault for every page again, which costs more than the conversion itself. Keeping
    // them lets every preview after the first reuse the same memory.
    ::mallopt(M_MMAP_THRESHOLD, 256 * 1024 * 1024);
    ::mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
#endif
    if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

}  // namespace quirtle
