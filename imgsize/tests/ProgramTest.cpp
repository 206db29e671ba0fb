// Runs the real imgsize program and checks its whole contract: standard output, standard
// error and exit status, for every kind of outcome.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "TempDirectory.h"

extern char** environ;

namespace quirtle::imgsize::testing {
namespace {

struct ProgramRun {
    std::string out;
    std::string err;
    int status = 0;  // exit status, or -1 when the program did not exit normally
};

std::string Drain(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, got);
    close(fd);
    return text;
}

enum class Output { Pipe, Closed, PipeWithoutReader };

// Starts the program with `arguments` in the directory `directory`.
ProgramRun RunImgSize(const std::vector<std::string>& arguments, const std::string& directory = ".",
                      Output output = Output::Pipe) {
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe";
        return {};
    }
    if (output == Output::PipeWithoutReader) {
        close(out[0]);
        out[0] = -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    if (output == Output::Closed) {
        posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    }
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);

    std::vector<char*> argv{const_cast<char*>(IMGSIZE_PROGRAM)};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, IMGSIZE_PROGRAM, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    ProgramRun run;
    run.out = out[0] >= 0 ? Drain(out[0]) : std::string();
    run.err = Drain(err[0]);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << IMGSIZE_PROGRAM;
        return run;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

constexpr std::string_view kNoSize = "-1\r\n-1\r\n";

void ExpectRun(const ProgramRun& run, std::string_view out, std::string_view err) {
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err, err);
    EXPECT_EQ(run.status, 255);
}

class Program : public ::testing::Test {
  protected:
    TempDirectory files_;
};

TEST_F(Program, RequiresExactlyOneArgument) {
    const std::string image = files_.Write("a.gif", Gif(1, 1));
    ExpectRun(RunImgSize({}), kNoSize, "Invalid Arguments number.");
    ExpectRun(RunImgSize({image, image}), kNoSize, "Invalid Arguments number.");
}

TEST_F(Program, RefusesANameThatIsOnlyAnExtension) {
    files_.Write(".png", Png(1, 1));
    const std::string here = files_.Path().string();
    for (const std::string name : {"", ".png", "."}) {
        SCOPED_TRACE(name);
        ExpectRun(RunImgSize({name}, here), kNoSize, "Invalid filename.");
    }
    // With a directory in front, the extension no longer starts the argument.
    ExpectRun(RunImgSize({"./.png"}, here), "1\r\n1\r\n", "");
}

TEST_F(Program, ReportsAFileThatCannotBeOpened) {
    files_.Write("folder.png/inside.txt", {});
    ExpectRun(RunImgSize({(files_.Path() / "missing.jpg").string()}), kNoSize,
              "Failed to open file.");
    ExpectRun(RunImgSize({(files_.Path() / "folder.png").string()}), kNoSize,
              "Failed to open file.");
    // The file is opened before its extension is looked at.
    ExpectRun(RunImgSize({(files_.Path() / "missing.bmp").string()}), kNoSize,
              "Failed to open file.");
}

TEST_F(Program, ReportsEachFormatsInvalidFiles) {
    const Bytes extended = kStartOfImage + Frame(0xC1, 10, 10) + Scan() + kEndOfImage;
    ExpectRun(RunImgSize({files_.Write("c1.jpg", extended)}), kNoSize, "Invalid jpeg file format.");

    const Bytes endFirst = kPngSignature + Chunk("IEND", {}) + HeaderChunk(1, 1);
    ExpectRun(RunImgSize({files_.Write("end.png", endFirst)}), kNoSize, "Invalid png file format.");

    const Bytes gif = Gif(1, 1);
    ExpectRun(RunImgSize({files_.Write("short.gif", Bytes(gif.begin(), gif.begin() + 9))}), kNoSize,
              "Invalid gif file format.");
}

TEST_F(Program, PrintsNoMessageWhenThereIsNothingToReport) {
    // Another extension runs no reader, whatever the file holds.
    ExpectRun(RunImgSize({files_.Write("picture.bmp", Jpeg(5, 5))}), kNoSize, "");
    ExpectRun(RunImgSize({files_.Write("photo.jpg.txt", Jpeg(5, 5))}), kNoSize, "");
    // A dot in a directory name is not an extension of the file.
    ExpectRun(RunImgSize({files_.Write("pictures.jpg/photo", Jpeg(5, 5))}), kNoSize, "");
    // The end-of-image marker before any frame header.
    ExpectRun(RunImgSize({files_.Write("blank.jpg", kStartOfImage + kEndOfImage)}), kNoSize, "");
}

TEST_F(Program, PrintsTheSizeOfEachFormat) {
    ExpectRun(RunImgSize({files_.Write("PHOTO.JPG", Jpeg(1024, 768))}), "1024\r\n768\r\n", "");
    ExpectRun(RunImgSize({files_.Write("photo.Jpeg", Jpeg(3, 65535))}), "3\r\n65535\r\n", "");
    const Bytes png = kPngSignature + Chunk("pHYs", Bytes(9, 1)) + HeaderChunk(2147483647, 16);
    ExpectRun(RunImgSize({files_.Write("my pictures/wide image.png", png)}), "2147483647\r\n16\r\n",
              "");
    ExpectRun(RunImgSize({files_.Write("anim.GIF", Gif(640, 480))}), "640\r\n480\r\n", "");
}

TEST_F(Program, KeepsItsExitStatusWhenOutputCannotBeWritten) {
    const std::string broken = files_.Write("broken.gif", {});
    for (const Output output : {Output::Closed, Output::PipeWithoutReader}) {
        const ProgramRun run = RunImgSize({broken}, ".", output);
        EXPECT_EQ(run.err, "Invalid gif file format.");
        EXPECT_EQ(run.status, 255);
    }
}

}  // namespace
}  // namespace quirtle::imgsize::testing
