#include "process/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <thread>

#include "process/CommandLine.h"

extern char** environ;

namespace quirtle::process {
namespace {

// Closes the descriptors it holds when it goes.
class FdList {
  public:
    ~FdList() {
        for (int fd : fds_) close(fd);
    }
    void Add(int fd) { fds_.push_back(fd); }

  private:
    std::vector<int> fds_;
};

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// The program file to start: a name holding a '/' is taken relative to this process's
// working directory (not the child's); a bare name is looked up in PATH.
Status ResolveProgram(const std::string& name, std::string& path) {
    if (name.empty()) return kStatusFileNotFound;
    if (name.find('/') != std::string::npos) {
        if (name.front() == '/') {
            path = name;
        } else {
            std::array<char, 4096> cwd{};
            if (getcwd(cwd.data(), cwd.size()) == nullptr) return StatusFromError(errno);
            path = std::string(cwd.data()) + "/" + name;
        }
        return kStatusOk;
    }
    const char* searchPath = std::getenv("PATH");
    const std::string_view dirs =
        searchPath != nullptr ? searchPath : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string_view::npos) end = dirs.size();
        std::string dir(dirs.substr(start, end - start));
        if (dir.empty()) dir = ".";
        std::string candidate = dir + "/" + name;
        if (IsExecutableFile(candidate)) {
            path = std::move(candidate);
            return kStatusOk;
        }
        start = end + 1;
    }
    return kStatusFileNotFound;
}

// A descriptor numbered 0, 1 or 2 would collide with the standard handles being set up in
// the child; such a descriptor is copied above 2 first (the copy is close-on-exec).
Status MoveAboveStandard(int& fd, FdList& temporaries) {
    if (fd > 2) return kStatusOk;
    const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (copy < 0) return StatusFromError(errno);
    temporaries.Add(copy);
    fd = copy;
    return kStatusOk;
}

// posix_spawn's attribute and file-action objects, destroyed when they go.
struct SpawnSetup {
    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
    bool actionsReady = false;
    bool attributesReady = false;
    ~SpawnSetup() {
        if (actionsReady) posix_spawn_file_actions_destroy(&actions);
        if (attributesReady) posix_spawnattr_destroy(&attributes);
    }
};

}  // namespace

ChildProcess::~ChildProcess() {
    if (processId_ <= 0 || waited_) return;
    // The child is never stopped. One that has ended is reaped now; one still running is
    // reaped by a detached thread once it ends, so no zombie is left behind.
    int status = 0;
    const pid_t pid = processId_;
    if (waitpid(pid, &status, WNOHANG) != 0) return;
    try {
        std::thread([pid] {
            int ignored = 0;
            while (waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (...) {
        // No thread to spare: the child stays a zombie until this program ends.
    }
}

Status ChildProcess::SetCommandLine(const char* text) {
    if (text == nullptr) return kStatusInvalidData;
    try {
        arguments_ = SplitCommandLine(text);
    } catch (const std::bad_alloc&) {
        return kStatusOutOfMemory;
    }
    return kStatusOk;
}

Status ChildProcess::SetArguments(std::vector<std::string> arguments) {
    if (arguments.empty()) return kStatusInvalidParameter;
    for (const auto& argument : arguments) {
        if (argument.find('\0') != std::string::npos) return kStatusInvalidParameter;
    }
    arguments_ = std::move(arguments);
    return kStatusOk;
}

Status ChildProcess::SetWorkingDirectory(const char* path) {
    if (path == nullptr) return kStatusOk;
    try {
        workingDirectory_ = path;
    } catch (const std::bad_alloc&) {
        return kStatusOutOfMemory;
    }
    return kStatusOk;
}

Status ChildProcess::SetEnvironment(const char* text) {
    if (text == nullptr) return kStatusOk;
    try {
        std::string block(text);
        for (char& c : block) {
            if (c == '\n') c = '\0';
        }
        block.push_back('\0');
        if (block.size() < 2 || block[block.size() - 2] != '\0') block.push_back('\0');
        environment_ = std::move(block);
    } catch (const std::bad_alloc&) {
        return kStatusOutOfMemory;
    }
    return kStatusOk;
}

Status ChildProcess::Start(bool show) {
    if (processId_ > 0) return kStatusInvalidParameter;
    if (arguments_.empty()) return kStatusInvalidParameter;
    shown_ = show;

    FdList opened;
    const int nullDevice = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (nullDevice < 0) return StatusFromError(errno);
    opened.Add(nullDevice);

    std::string program;
    if (Status status = ResolveProgram(arguments_.front(), program); Failed(status)) return status;

    std::array<int, 3> sources = {stdInput_ >= 0 ? stdInput_ : nullDevice,
                                  stdOutput_ >= 0 ? stdOutput_ : nullDevice,
                                  stdError_ >= 0 ? stdError_ : nullDevice};
    for (int& fd : sources) {
        if (Status status = MoveAboveStandard(fd, opened); Failed(status)) return status;
    }

    SpawnSetup setup;
    if (int error = posix_spawn_file_actions_init(&setup.actions); error != 0) {
        return StatusFromError(error);
    }
    setup.actionsReady = true;
    if (int error = posix_spawnattr_init(&setup.attributes); error != 0) {
        return StatusFromError(error);
    }
    setup.attributesReady = true;

    int error = 0;
    for (int target = 0; target < 3 && error == 0; ++target) {
        error = posix_spawn_file_actions_adddup2(&setup.actions, sources[target], target);
    }
    // Whatever this process holds open without close-on-exec stays out of the child.
    if (error == 0) error = posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
    if (error == 0 && workingDirectory_) {
        error = posix_spawn_file_actions_addchdir_np(&setup.actions, workingDirectory_->c_str());
    }
    // The child starts with no blocked signals and the default SIGPIPE action, whatever
    // this process does with them.
    sigset_t noSignals;
    sigset_t pipeSignal;
    sigemptyset(&noSignals);
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    if (error == 0) error = posix_spawnattr_setsigmask(&setup.attributes, &noSignals);
    if (error == 0) error = posix_spawnattr_setsigdefault(&setup.attributes, &pipeSignal);
    if (error == 0) {
        error = posix_spawnattr_setflags(&setup.attributes,
                                         POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    if (error != 0) return StatusFromError(error);

    std::vector<char*> argv;
    argv.reserve(arguments_.size() + 1);
    for (auto& argument : arguments_) argv.push_back(argument.data());
    argv.push_back(nullptr);

    std::vector<char*> envp;
    char** childEnvironment = environ;
    if (environment_) {
        for (size_t pos = 0; pos < environment_->size() && (*environment_)[pos] != '\0';) {
            envp.push_back(environment_->data() + pos);
            pos = environment_->find('\0', pos) + 1;
        }
        envp.push_back(nullptr);
        childEnvironment = envp.data();
    }

    pid_t pid = 0;
    error = posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attributes, argv.data(),
                        childEnvironment);
    if (error != 0) return StatusFromError(error);
    processId_ = pid;
    waited_ = false;
    return kStatusOk;
}

Status ChildProcess::Wait(int32_t& exitCode) {
    if (processId_ <= 0 || waited_) return kStatusInvalidParameter;
    int status = 0;
    while (waitpid(processId_, &status, 0) < 0) {
        if (errno != EINTR) return StatusFromError(errno);
    }
    waited_ = true;
    if (WIFEXITED(status)) {
        exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        exitCode = 128 + WTERMSIG(status);
    } else {
        exitCode = -1;
    }
    return kStatusOk;
}

}  // namespace quirtle::process
