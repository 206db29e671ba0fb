#pragma once

#include <functional>

namespace quirtle {

// Runs `work` (something that blocks: writing to a child, waiting for it) on a thread of
// its own and waits for it here, on the user-interface thread. Meanwhile the busy cursor
// shows and the windows keep repainting, but no user input is handled: keys and clicks
// wait until the work is done, as they would for a blocked window.
void WaitWhileRepainting(const std::function<void()>& work);

}  // namespace quirtle
