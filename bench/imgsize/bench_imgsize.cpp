// Times the whole imgsize process (start, walk, output, exit) on a 10 MB baseline JPEG
// whose frame header lies behind large segments, on a PNG and on a GIF. The images are
// generated in a temporary directory; each run's output is checked.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kRuns = 300;
constexpr double kTargetMilliseconds = 5.0;
// imgsize against a process that does nothing, median against median.
constexpr double kTargetRatio = 1.2;

void Append16(Bytes& bytes, unsigned value) {
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes.push_back(static_cast<std::uint8_t>(value));
}

void Append32(Bytes& bytes, std::uint32_t value) {
    Append16(bytes, value >> 16);
    Append16(bytes, value & 0xFFFF);
}

void AppendRandom(Bytes& bytes, std::size_t count, std::mt19937& random) {
    for (std::size_t i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(random()));
}

void AppendSegment(Bytes& bytes, std::uint8_t marker, std::size_t payload, std::mt19937& random) {
    bytes.push_back(0xFF);
    bytes.push_back(marker);
    Append16(bytes, static_cast<unsigned>(payload + 2));
    AppendRandom(bytes, payload, random);
}

// 10 MB: about 2 MB of application segments (largest size) before the frame header, then
// the tables, the frame, the scan header and 8 MB of entropy-coded data.
Bytes MakeJpeg(std::mt19937& random) {
    Bytes bytes = {0xFF, 0xD8};
    for (int i = 0; i < 32; ++i) AppendSegment(bytes, 0xE1 + i % 14, 65533, random);
    AppendSegment(bytes, 0xDB, 130, random);
    bytes.insert(bytes.end(), {0xFF, 0xC0, 0x00, 0x11, 0x08});
    Append16(bytes, 3000);  // height
    Append16(bytes, 4000);  // width
    bytes.insert(bytes.end(), {3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1});
    AppendSegment(bytes, 0xC4, 400, random);
    AppendSegment(bytes, 0xDA, 10, random);
    AppendRandom(bytes, 10'000'000 - bytes.size() - 2, random);
    bytes.insert(bytes.end(), {0xFF, 0xD9});
    return bytes;
}

// A 2 MB PNG with a text chunk before its header.
Bytes MakePng(std::mt19937& random) {
    Bytes bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&](const char* type, std::size_t size, const Bytes& data) {
        Append32(bytes, static_cast<std::uint32_t>(size));
        bytes.insert(bytes.end(), type, type + 4);
        bytes.insert(bytes.end(), data.begin(), data.end());
        AppendRandom(bytes, size - data.size() + 4, random);
    };
    chunk("tEXt", 4000, {});
    Bytes header;
    Append32(header, 5000);
    Append32(header, 2500);
    header.insert(header.end(), {8, 6, 0, 0, 0});
    chunk("IHDR", 13, header);
    chunk("IDAT", 2'000'000, {});
    chunk("IEND", 0, {});
    return bytes;
}

Bytes MakeGif() {
    return {'G', 'I', 'F', '8', '9', 'a', 0x80, 0x02, 0xE0, 0x01, 0xF0, 0, 0, ';'};
}

std::string RunOnce(const char* program, const std::string& image) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    char* argv[] = {const_cast<char*>(program), const_cast<char*>(image.c_str()), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buffer[256];
    ssize_t got;
    while ((got = read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, got);
    close(out[0]);
    if (spawned == 0) waitpid(pid, nullptr, 0);
    return text;
}

struct Figures {
    double median;
    double mean;
    double p95;
};

Figures Summarise(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times) sum += t;
    return {times[times.size() / 2], sum / static_cast<double>(times.size()),
            times[times.size() * 95 / 100]};
}

double TimeOnce(const char* program, const std::string& image, const std::string& expected,
                bool& ok) {
    const auto start = std::chrono::steady_clock::now();
    const std::string out = RunOnce(program, image);
    const auto end = std::chrono::steady_clock::now();
    if (!expected.empty() && out != expected) {
        std::fprintf(stderr, "unexpected output for %s\n", image.c_str());
        ok = false;
    }
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// Milliseconds per run over kRuns runs (after a few to warm the caches) of `program` and,
// alternating with it, of /bin/true, so that both see the same load of the machine.
std::pair<Figures, Figures> TimePaired(const char* program, const std::string& image,
                                       const std::string& expected, bool& ok) {
    for (int i = 0; i < 5; ++i) {
        RunOnce(program, image);
        RunOnce("/bin/true", "x");
    }
    std::vector<double> times;
    std::vector<double> baseline;
    for (int i = 0; i < kRuns && ok; ++i) {
        times.push_back(TimeOnce(program, image, expected, ok));
        baseline.push_back(TimeOnce("/bin/true", "x", "", ok));
    }
    return {Summarise(times), Summarise(baseline)};
}

void Write(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "bench-imgsize-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path directory = pattern;
    std::mt19937 random(12345);
    const Bytes jpeg = MakeJpeg(random);
    Write(directory / "photo.jpg", jpeg);
    Write(directory / "image.png", MakePng(random));
    Write(directory / "anim.gif", MakeGif());

    struct Case {
        const char* label;
        std::string image;
        std::string expected;
    };
    const Case cases[] = {
        {"jpeg 10 MB, frame after 2 MB of segments", (directory / "photo.jpg").string(),
         "4000\r\n3000\r\n"},
        {"png 2 MB, chunk before IHDR", (directory / "image.png").string(), "5000\r\n2500\r\n"},
        {"gif", (directory / "anim.gif").string(), "640\r\n480\r\n"},
    };

    bool ok = true;
    std::printf("imgsize, whole process, %d runs each, paired with /bin/true (ms per run)\n",
                kRuns);
    std::printf("%-44s %8s %8s %8s %10s %7s\n", "case", "median", "mean", "p95", "true med",
                "ratio");
    for (const Case& c : cases) {
        const auto [f, start] = TimePaired(IMGSIZE_PROGRAM, c.image, c.expected, ok);
        const double ratio = f.median / start.median;
        std::printf("%-44s %8.3f %8.3f %8.3f %10.3f %7.2f %s\n", c.label, f.median, f.mean, f.p95,
                    start.median, ratio,
                    ratio <= kTargetRatio ? "(target <= 1.2 x /bin/true: met)"
                                          : "(target <= 1.2 x /bin/true: NOT MET)");
        ok = ok && f.median <= kTargetMilliseconds;
    }

    std::filesystem::remove_all(directory);
    return ok ? 0 : 1;
}
