#pragma once

#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace quirtle::recovery {

class RecoveryStore;

// Writes and removes the recovery copy on a thread of its own, so that typing never waits
// for the disk. Only the latest request matters: a text handed in while an older one waits
// replaces it, and a removal replaces a waiting write. Requests run in the order given.
class RecoveryWriter {
  public:
    // `finished` is called on the writer's thread after each request with 0 or the errno
    // of a failed write.
    RecoveryWriter(RecoveryStore& store, std::function<void(int error)> finished);
    ~RecoveryWriter();  // finishes what was asked, then ends the thread
    RecoveryWriter(const RecoveryWriter&) = delete;
    RecoveryWriter& operator=(const RecoveryWriter&) = delete;

    // Keeps this text (encoded to UTF-8 on the writer's thread) with the manuscript path.
    void Write(QString text, QByteArray manuscriptPath);
    // Removes the copy.
    void Remove();
    // Waits until everything asked so far is on disk.
    void Flush();

  private:
    struct Request {
        bool remove = false;
        QString text;
        QByteArray manuscriptPath;
    };
    void Run();
    void Put(Request request);

    RecoveryStore& store_;
    std::function<void(int)> finished_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Request> waiting_;
    bool working_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace quirtle::recovery
