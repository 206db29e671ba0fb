#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace quirtle {

// How a wait ended.
enum class WaitEnd {
    Done,            // the work has ended
    StoppedWaiting,  // the author chose 待たずに続ける (or the program is ending): the work goes on
};

// Runs `work` (something that blocks: writing to a child, waiting for it) on a thread of
// its own and waits for it here, on the user-interface thread. Meanwhile the windows keep
// repainting, and keys and clicks given to them are dropped, never replayed afterwards.
// `noticeAfterMs` after the start (never when negative) a notice in `owner`'s window
// shows `noticeText` and offers "待たずに続ける"; chosen, this returns StoppedWaiting at
// once while the work goes on by itself, and `later` runs on the user-interface thread
// when it has ended. The same happens when the program's event loop is ended meanwhile.
// `work` and `later` must therefore own (or share) everything they use.
WaitEnd WaitWithNotice(QWidget* owner, const QString& noticeText, int noticeAfterMs,
                       std::function<void()> work, std::function<void()> later);

// Runs `work` on a thread of its own without waiting; `later` runs on the user-interface
// thread when it has ended.
void RunInBackground(std::function<void()> work, std::function<void()> later);

}  // namespace quirtle
