// quirtle-convert: converts a manuscript file to the export XML or the preview HTML.
#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "ConvertManuscript.h"
#include "FileAccess.h"

namespace {

constexpr int exitBadInput = 2;

int Fail(const std::string& subject, const std::string& reason) {
    std::fprintf(stderr, "quirtle-convert: %s: %s\n", subject.c_str(), reason.c_str());
    return exitBadInput;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quirtle;
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    ConvertOptions options;
    std::string error;
    if (!ParseConvertArguments(args, options, error)) {
        std::fprintf(stderr, "quirtle-convert: %s (try --help)\n", error.c_str());
        return exitBadInput;
    }
    if (options.showHelp) {
        std::fputs(ConvertUsage(), stdout);
        return std::fflush(stdout) == 0 ? 0 : exitBadInput;
    }

    const bool fromStdin = options.inputPath.empty() || options.inputPath == "-";
    const std::string inputName = fromStdin ? "standard input" : options.inputPath;
    std::string manuscript;
    if (!ReadAllBytes(options.inputPath, manuscript, error)) {
        return Fail(inputName, "cannot read: " + error);
    }

    std::string result;
    if (ConvertManuscript(manuscript, options.mode, result) < 0) {
        return Fail(inputName, "conversion failed");
    }

    if (options.outputPath.empty()) {
        if (!WriteStandardOutput(result, error)) {
            return Fail("standard output", "cannot write: " + error);
        }
    } else if (!ReplaceFile(options.outputPath, result, error)) {
        return Fail(options.outputPath, "cannot write: " + error);
    }
    return 0;
}
