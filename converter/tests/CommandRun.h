// Running a command-line program of the project as a process in tests: its standard input
// from a string, its exit code and both outputs back, in a scratch folder of its own.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace quirtle::testing {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary);
    file << bytes;
}

// A test with a scratch folder `dir`, removed afterwards.
class CommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quirtle-command-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs `program` through the shell with the given arguments and standard input.
    Outcome Run(const std::string& program, const std::string& args, const std::string& input) {
        const fs::path in = dir / "stdin.bin";
        const fs::path out = dir / "stdout.bin";
        const fs::path err = dir / "stderr.bin";
        WriteFile(in, input);
        const std::string command = "'" + program + "' " + args + " <'" + in.string() + "' >'" +
                                    out.string() + "' 2>'" + err.string() + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
    }

    fs::path dir;
};

}  // namespace quirtle::testing
