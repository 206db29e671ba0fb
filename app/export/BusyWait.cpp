#include "export/BusyWait.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMetaObject>
#include <atomic>
#include <system_error>
#include <thread>

namespace quirtle {
namespace {

// The wait cursor while it lives (only where there is a GUI).
class BusyCursor {
  public:
    BusyCursor() : active_(qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (active_) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~BusyCursor() {
        if (active_) QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

  private:
    bool active_;
};

}  // namespace

void WaitWhileRepainting(const std::function<void()>& work) {
    BusyCursor cursor;
    QEventLoop loop;
    std::atomic<bool> done = false;
    std::thread worker;
    try {
        worker = std::thread([&] {
            work();
            done = true;
            QMetaObject::invokeMethod(
                &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        work();  // no thread to spare: wait without repainting
        return;
    }
    // A quit posted before exec() starts is still delivered by it.
    if (!done) loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
}

}  // namespace quirtle
