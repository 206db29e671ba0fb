#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace quirtle {

// One background thread that runs the newest job handed to it: while a job runs, at most
// one more waits, and a newer one takes the waiting one's place. Jobs run one at a time in
// the order they were handed in, so their results come out in that order too.
class LatestJobThread {
  public:
    LatestJobThread() = default;
    // Waits for the running job to end; a waiting job is dropped.
    ~LatestJobThread();
    LatestJobThread(const LatestJobThread&) = delete;
    LatestJobThread& operator=(const LatestJobThread&) = delete;

    // Hands a job to the thread (started on first use). False when no thread can be
    // started: the job was not taken, and the caller runs it itself.
    bool Submit(std::function<void()> job);
    // True while a job runs or waits.
    bool IsBusy() const;

  private:
    void Run();

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::optional<std::function<void()>> waiting;
    bool running = false;
    bool stopping = false;
    std::thread thread;
};

}  // namespace quirtle
