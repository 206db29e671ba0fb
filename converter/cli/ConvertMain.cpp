// quirtle-convert: converts a manuscript file to the export XML or the preview HTML.
// The manuscript is read in pieces and the output written as it is made, so the memory
// the program needs does not grow with the size of the manuscript.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "DocumentConverter.h"
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
    InputFile input;
    if (!input.Open(options.inputPath, error)) {
        return Fail(inputName, "cannot read: " + error);
    }
    const bool toStdout = options.outputPath.empty();
    const std::string outputName = toStdout ? "standard output" : options.outputPath;
    ReplacementFile outputFile;
    if (!toStdout && !outputFile.Create(options.outputPath, error)) {
        return Fail(outputName, "cannot write: " + error);
    }

    FileSink sink(toStdout ? STDOUT_FILENO : outputFile.Descriptor());
    DocumentConverter converter(options.mode, sink, options.encoding);
    std::size_t kept = 0;
    while (true) {
        std::string_view text;
        if (!input.ReadMore(kept, text, error)) {
            return Fail(inputName, "cannot read: " + error);
        }
        const std::size_t used = converter.ConvertLines(text, input.AtEnd());
        if (input.AtEnd()) {
            break;
        }
        kept = text.size() - used;
    }
    if (converter.Finish() < 0) {
        return Fail(inputName, "conversion failed");
    }
    if (sink.Error() != 0) {
        return Fail(outputName, "cannot write: " + ErrorText(sink.Error()));
    }
    if (!toStdout && !outputFile.Commit(error)) {
        return Fail(outputName, "cannot write: " + error);
    }
    return 0;
}
