#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Status.h"

namespace quirtle::process {

// Starts one child program with chosen standard handles and lets its owner wait for it.
//
// Order of use: set the command line (or the arguments), the working directory and the
// environment, stopping at the first failure; give it the child's ends of the pipes the
// child needs; Start; close those ends in the program; feed inputs and drain outputs; Wait.
//
// The child gets exactly three descriptors: the given standard handles, /dev/null for each
// one not given. Nothing else of this process is inherited. The child is never killed: a
// child still running when this object goes is left to run and is reaped when it ends.
class ChildProcess {
  public:
    ChildProcess() = default;
    virtual ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Takes a whole command line (program first) and splits it as the Windows C runtime
    // does (see CommandLine.h). A null text fails with kStatusInvalidData and keeps nothing.
    Status SetCommandLine(const char* text);
    // Takes the arguments as they are, program first; none of them is split again.
    // Fails with kStatusInvalidParameter for an empty list or an argument holding a NUL.
    Status SetArguments(std::vector<std::string> arguments);
    // A null path succeeds and leaves the child in this process's working directory.
    Status SetWorkingDirectory(const char* path);
    // A null text succeeds: the child inherits this process's environment. Otherwise the
    // text holds NAME=value entries, each ended by LF (the last LF may be missing); they
    // are kept as a block of NUL-ended entries followed by one more NUL.
    Status SetEnvironment(const char* text);

    // Borrowed descriptors (never closed by this object); -1 = /dev/null.
    void SetStandardInput(int fd) { stdInput_ = fd; }
    void SetStandardOutput(int fd) { stdOutput_ = fd; }
    void SetStandardError(int fd) { stdError_ = fd; }

    // Starts the child. `show` asks for its window to be shown; programs here open their
    // own windows, so it is only recorded. On failure nothing is left open.
    Status Start(bool show);

    // Waits without time limit for the child to end and gives its exit code (128 + the
    // signal number for a child ended by a signal). Fails when no child was started or it
    // was already waited for.
    Status Wait(int32_t& exitCode);

    const std::vector<std::string>& arguments() const { return arguments_; }
    const std::optional<std::string>& workingDirectory() const { return workingDirectory_; }
    const std::optional<std::string>& environment() const { return environment_; }
    pid_t processId() const { return processId_; }
    bool shown() const { return shown_; }

  private:
    std::vector<std::string> arguments_;
    std::optional<std::string> workingDirectory_;
    std::optional<std::string> environment_;  // entries ended by NUL, then one more NUL
    pid_t processId_ = 0;
    bool waited_ = false;
    bool shown_ = false;
    int stdInput_ = -1;
    int stdOutput_ = -1;
    int stdError_ = -1;
};

}  // namespace quirtle::process
