#include "recovery/RecoveryWriter.h"

#include <cerrno>
#include <string_view>
#include <system_error>

#include "recovery/RecoveryStore.h"

namespace quirtle::recovery {

RecoveryWriter::RecoveryWriter(RecoveryStore& store, std::function<void(int)> finished)
    : store_(store), finished_(std::move(finished)) {
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread to spare: requests are then carried out where they are made.
    }
}

RecoveryWriter::~RecoveryWriter() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void RecoveryWriter::Put(Request request) {
    if (!thread_.joinable()) {
        int error = 0;
        if (request.remove) {
            store_.RemoveCopy();
        } else {
            const QByteArray utf8 = request.text.toUtf8();
            error = store_.Write(std::string_view(utf8.constData(), size_t(utf8.size())),
                                 request.manuscriptPath);
        }
        if (finished_) finished_(error);
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        waiting_ = std::move(request);
    }
    changed_.notify_all();
}

void RecoveryWriter::Write(QString text, QByteArray manuscriptPath) {
    Put(Request{false, std::move(text), std::move(manuscriptPath)});
}

void RecoveryWriter::Remove() {
    Put(Request{true, QString(), QByteArray()});
}

void RecoveryWriter::Flush() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !waiting_ && !working_; });
}

void RecoveryWriter::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return waiting_ || stopping_; });
        if (!waiting_) return;  // stopping, and nothing more to do
        Request request = std::move(*waiting_);
        waiting_.reset();
        working_ = true;
        lock.unlock();

        int error = 0;
        if (request.remove) {
            store_.RemoveCopy();
        } else {
            const QByteArray utf8 = request.text.toUtf8();
            request.text = QString();
            error = store_.Write(std::string_view(utf8.constData(), size_t(utf8.size())),
                                 request.manuscriptPath);
        }
        if (finished_) finished_(error);

        lock.lock();
        working_ = false;
        changed_.notify_all();
    }
}

}  // namespace quirtle::recovery
