#include "export/BusyWait.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "export/WaitNotice.h"

namespace quirtle {
namespace {

// The wait cursor while it lives (only where there is a GUI); Lift() ends it early.
class BusyCursor {
  public:
    BusyCursor() : active_(qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (active_) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~BusyCursor() { Lift(); }
    void Lift() {
        if (active_) QGuiApplication::restoreOverrideCursor();
        active_ = false;
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

  private:
    bool active_;
};

// Drops the keys and clicks given to the program's windows while it lives, except those
// for the notice. Qt's own way of holding input back keeps the events and delivers them
// when the wait ends: a paste would then go into the text, a shortcut would open a dialog.
class InputDropper : public QObject {
  public:
    InputDropper() {
        if (QCoreApplication* application = QCoreApplication::instance())
            application->installEventFilter(this);
    }
    ~InputDropper() override {
        if (QCoreApplication* application = QCoreApplication::instance())
            application->removeEventFilter(this);
    }
    void Allow(QWidget* widget) { allowed_ = widget; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::ShortcutOverride:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::Shortcut:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::ContextMenu:
            case QEvent::InputMethod:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::TabletPress:
            case QEvent::TabletRelease:
            case QEvent::Drop:
                break;
            default:
                return false;
        }
        // The window system's events reach a window first, which hands them to the widget
        // they are for: they are judged there, so that the notice's button still works.
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr) return false;
        if (allowed_ && (widget == allowed_ || allowed_->isAncestorOf(widget))) return false;
        // An accepted shortcut override keeps the key from triggering a shortcut.
        event->accept();
        return true;
    }

  private:
    QPointer<QWidget> allowed_;
};

struct SharedWait {
    std::mutex mutex;
    bool done = false;
    bool abandoned = false;
    QEventLoop* loop = nullptr;  // valid while not abandoned
    std::function<void()> later;
};

void PostToApplication(std::function<void()> call) {
    if (QCoreApplication* application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, std::move(call), Qt::QueuedConnection);
}

}  // namespace

WaitEnd WaitWithNotice(QWidget* owner, const QString& noticeText, int noticeAfterMs,
                       std::function<void()> work, std::function<void()> later) {
    BusyCursor cursor;
    InputDropper dropper;
    QEventLoop loop;
    auto state = std::make_shared<SharedWait>();
    state->loop = &loop;
    std::thread worker;
    try {
        worker = std::thread([state, work] {
            work();
            const std::lock_guard lock(state->mutex);
            state->done = true;
            if (state->abandoned) {
                if (state->later) PostToApplication(std::move(state->later));
                return;
            }
            QEventLoop* waiting = state->loop;
            QMetaObject::invokeMethod(
                waiting, [waiting] { waiting->quit(); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        work();  // no thread to spare: wait without repainting
        return WaitEnd::Done;
    }

    std::unique_ptr<WaitNotice> notice;
    QTimer noticeTimer;
    noticeTimer.setSingleShot(true);
    QWidget* window = owner ? owner->window() : nullptr;
    if (window != nullptr && noticeAfterMs >= 0) {
        QObject::connect(&noticeTimer, &QTimer::timeout, &loop, [&] {
            notice = std::make_unique<WaitNotice>(window, noticeText);
            dropper.Allow(notice.get());
            QObject::connect(notice.get(), &WaitNotice::StopWaiting, &loop, &QEventLoop::quit);
            notice->show();
            // The author may click now: the ordinary pointer again.
            cursor.Lift();
        });
        noticeTimer.start(noticeAfterMs);
    }

    {
        const std::lock_guard lock(state->mutex);
        if (state->done) {
            worker.join();
            return WaitEnd::Done;
        }
    }
    // A quit posted before exec() starts is still delivered by it.
    loop.exec();

    std::unique_lock lock(state->mutex);
    if (state->done) {
        lock.unlock();
        worker.join();
        return WaitEnd::Done;
    }
    state->abandoned = true;
    state->loop = nullptr;
    state->later = std::move(later);
    lock.unlock();
    worker.detach();
    return WaitEnd::StoppedWaiting;
}

void RunInBackground(std::function<void()> work, std::function<void()> later) {
    try {
        std::thread([work = std::move(work), later = std::move(later)]() mutable {
            work();
            if (later) PostToApplication(std::move(later));
        }).detach();
    } catch (const std::system_error&) {
        work();
        if (later) later();
    }
}

}  // namespace quirtle
