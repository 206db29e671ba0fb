// imgsize: prints the width and height of a JPEG, PNG or GIF file on standard output,
// one number per line; -1 and -1 when no size was found, with the reason on standard
// error. The exit status is always 255 (-1), so callers judge by the output alone.

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <span>
#include <string_view>

#include "ImageSizeTool.h"

namespace {

// Writes all of `text`; errors (a closed descriptor, a reader that went away) are ignored.
void WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quirtle::imgsize;
    // A caller that stops reading must not turn the fixed exit status into a signal.
    std::signal(SIGPIPE, SIG_IGN);
    const std::span<const char* const> arguments(argv + (argc > 0 ? 1 : 0),
                                                 argc > 0 ? static_cast<std::size_t>(argc - 1) : 0);
    const ToolReport report = MeasureImage(arguments);
    WriteAll(STDOUT_FILENO, FormatSizeLines(report.size));
    if (!report.message.empty()) {
        WriteAll(STDERR_FILENO, report.message);
    }
    return -1;
}
