#pragma once

#include <memory>
#include <string_view>

#include "base/Status.h"
#include "process/ReaderThread.h"

namespace quirtle::process {

enum class PipeDirection {
    ChildWrites,  // carries the child's output to this program
    ChildReads,   // carries this program's data to the child's input
};

// One anonymous pipe between this program and a child. Both ends are close-on-exec: the
// child end reaches the child only as one of its standard handles (ChildProcess).
class ChildPipe {
  public:
    ChildPipe() = default;
    virtual ~ChildPipe();
    ChildPipe(const ChildPipe&) = delete;
    ChildPipe& operator=(const ChildPipe&) = delete;

    Status Create(PipeDirection direction);

    PipeDirection direction() const { return direction_; }
    int childEnd() const { return childEnd_; }
    int ownEnd() const { return ownEnd_; }
    void CloseChildEnd();
    void CloseOwnEnd();

    // ChildWrites only: hands the own end to a ReaderThread and starts it. False when the
    // thread could not be started; the own end is then closed when the pipe goes.
    bool StartReader();
    ReaderThread* reader() const { return reader_.get(); }

    // ChildReads only: writes all of `bytes` to the own end, going on after short writes
    // and interruptions. A child that has stopped reading gives a broken-pipe status; the
    // SIGPIPE that comes with it is kept from this program.
    Status Write(std::string_view bytes);

  private:
    PipeDirection direction_ = PipeDirection::ChildWrites;
    int childEnd_ = -1;
    int ownEnd_ = -1;
    std::unique_ptr<ReaderThread> reader_;
};

}  // namespace quirtle::process
