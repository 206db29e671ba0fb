#include "preview/LatestJobThread.h"

#include <system_error>
#include <utility>

namespace quirtle {

LatestJobThread::~LatestJobThread() {
    {
        const std::lock_guard lock(mutex);
        stopping = true;
        waiting.reset();
    }
    wake.notify_all();
    if (thread.joinable()) thread.join();
}

bool LatestJobThread::Submit(std::function<void()> job) {
    {
        const std::lock_guard lock(mutex);
        if (!thread.joinable()) {
            try {
                thread = std::thread([this] { Run(); });
            } catch (const std::system_error&) {
                return false;
            }
        }
        // The job that waited so far is outdated by this one and never runs.
        waiting = std::move(job);
    }
    wake.notify_one();
    return true;
}

bool LatestJobThread::IsBusy() const {
    const std::lock_guard lock(mutex);
    return running || waiting.has_value();
}

void LatestJobThread::Run() {
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || waiting.has_value(); });
        if (stopping) return;
        std::function<void()> job = std::move(*waiting);
        waiting.reset();
        running = true;
        lock.unlock();
        job();
        job = nullptr;  // whatever the job holds goes before the next one starts
        lock.lock();
        running = false;
    }
}

}  // namespace quirtle
