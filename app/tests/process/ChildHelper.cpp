// A small program the process and export tests start as a child. The first argument
// names what it does; see Usage().
#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace {

int Usage() {
    std::cerr << "usage: child_helper fds OUT | echo-stdin OUT | stderr TEXT | stderr-nul-split\n"
                 "       | stderr-nul-only | exit CODE | exit-early CODE | sleep MS\n"
                 "       | env OUT | cwd OUT | args OUT | record ... -o OUT\n";
    return 100;
}

std::string ReadAllStdin() {
    std::string data;
    char buffer[4096];
    ssize_t count;
    while ((count = read(0, buffer, sizeof buffer)) != 0) {
        if (count < 0) {
            if (errno == EINTR) continue;
            break;
        }
        data.append(buffer, static_cast<size_t>(count));
    }
    return data;
}

bool WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
    return static_cast<bool>(out);
}

void WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = write(fd, data.data(), data.size());
        if (n <= 0) return;
        data.remove_prefix(static_cast<size_t>(n));
    }
}

// One line per open descriptor: "<number> <what it refers to>".
std::string DescribeDescriptors() {
    std::string out;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return "opendir failed\n";
    const int own = dirfd(dir);
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        const int fd = std::atoi(entry->d_name);
        if (fd == own) continue;
        char target[4096] = {};
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        out += std::to_string(fd) + " " +
               (n > 0 ? std::string(target, static_cast<size_t>(n)) : "?") + "\n";
    }
    closedir(dir);
    return out;
}

// Behaves as an export script: stdin goes to the file after -o, its working directory and
// arguments to that path + ".info". Options: --stderr=TEXT, --exit=N, --no-output,
// --sleep=MS (before reading its input).
int Record(int argc, char** argv) {
    std::string output;
    std::string errorText;
    int exitCode = 0;
    bool writeOutput = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-o" && i + 1 < argc) output = argv[i + 1];
        if (arg.starts_with("--stderr=")) errorText = arg.substr(9);
        if (arg.starts_with("--exit=")) exitCode = std::atoi(argv[i] + 7);
        if (arg == "--no-output") writeOutput = false;
        if (arg.starts_with("--sleep=")) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[i] + 8)));
        }
    }
    const std::string input = ReadAllStdin();
    char cwd[4096] = {};
    std::string info = std::string("cwd=") + (getcwd(cwd, sizeof cwd) ? cwd : "?") + "\n";
    for (int i = 0; i < argc; ++i) info += std::string("arg=") + argv[i] + "\n";
    if (output.empty()) return 101;
    WriteFile(output + ".info", info);
    if (writeOutput) WriteFile(output, input);
    WriteAll(2, errorText);
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string_view mode = argv[1];
    const char* operand = argc > 2 ? argv[2] : "";
    if (mode == "fds") return WriteFile(operand, DescribeDescriptors()) ? 0 : 1;
    if (mode == "echo-stdin") return WriteFile(operand, ReadAllStdin()) ? 0 : 1;
    if (mode == "stderr") {
        WriteAll(2, operand);
        return 0;
    }
    if (mode == "stderr-nul-split") {
        // One write of 401 bytes: the reader's first 260-byte read holds a NUL at 100.
        std::string data(100, 'x');
        data += '\0';
        data += std::string(300, 'y');
        WriteAll(2, data);
        return 0;
    }
    if (mode == "stderr-nul-only") {
        WriteAll(2, std::string_view("\0\0\0", 3));
        return 0;
    }
    if (mode == "exit") return std::atoi(operand);
    if (mode == "exit-early") {
        close(0);
        return std::atoi(operand);
    }
    if (mode == "sleep") {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(operand)));
        return 0;
    }
    if (mode == "env") {
        std::string out;
        for (char** e = environ; *e != nullptr; ++e) out += std::string(*e) + "\n";
        return WriteFile(operand, out) ? 0 : 1;
    }
    if (mode == "cwd") {
        char cwd[4096] = {};
        return WriteFile(operand, getcwd(cwd, sizeof cwd) ? cwd : "?") ? 0 : 1;
    }
    if (mode == "args") {
        std::string out;
        for (int i = 0; i < argc; ++i) out += std::string(argv[i]) + "\n";
        return WriteFile(operand, out) ? 0 : 1;
    }
    if (mode == "record") return Record(argc, argv);
    return Usage();
}
