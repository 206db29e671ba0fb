// quirtle-import: turns a 青空文庫, カクヨム or 小説家になろう text into a manuscript.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "FileAccess.h"
#include "Import.h"
#include "ImportCommandLine.h"
#include "ShiftJisOutput.h"
#include "SourceText.h"
#include "Unicode.h"

namespace {

constexpr int exitBadInput = 2;

int Fail(const std::string& subject, const std::string& reason) {
    std::fprintf(stderr, "quirtle-import: %s: %s\n", subject.c_str(), reason.c_str());
    return exitBadInput;
}

// "'𠮟' (U+20B9F)".
std::string DescribeCharacter(char32_t c) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    std::string shown = "'";
    if (c >= 0x20 && c != 0x7F) {
        quirtle::importer::AppendUtf8(shown, c);
    }
    return shown + "' (" + code + ")";
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quirtle;
    using namespace quirtle::importer;
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    ImportOptions options;
    std::string error;
    if (!ParseImportArguments(args, options, error)) {
        std::fprintf(stderr, "quirtle-import: %s (try --help)\n", error.c_str());
        return exitBadInput;
    }
    if (options.showHelp) {
        std::fputs(ImportUsage(), stdout);
        return std::fflush(stdout) == 0 ? 0 : exitBadInput;
    }

    const bool fromStdin = options.inputPath.empty() || options.inputPath == "-";
    const std::string inputName = fromStdin ? "standard input" : options.inputPath;
    InputFile input;
    if (!input.Open(options.inputPath, error)) {
        return Fail(inputName, "cannot read: " + error);
    }
    std::string_view bytes;
    while (true) {
        if (!input.ReadMore(bytes.size(), bytes, error)) {
            return Fail(inputName, "cannot read: " + error);
        }
        if (input.AtEnd()) break;
    }
    int badLine = 0;
    const std::optional<DecodedSource> source = DecodeSource(bytes, &badLine);
    if (!source) {
        return Fail(inputName, "line " + std::to_string(badLine) + ": not UTF-8 or Shift_JIS text");
    }

    std::string manuscript = ImportText(source->text, *options.notation);
    if (!options.utf8) {
        ShiftJisResult encoded = EncodeShiftJis(manuscript);
        if (!encoded.ok) {
            return Fail(inputName, "line " + std::to_string(encoded.line) + " of the manuscript: " +
                                       DescribeCharacter(encoded.character) +
                                       " cannot be written in Shift_JIS (use --utf-8)");
        }
        manuscript = std::move(encoded.bytes);
    }

    const bool toStdout = options.outputPath.empty();
    const std::string outputName = toStdout ? "standard output" : options.outputPath;
    ReplacementFile outputFile;
    if (!toStdout && !outputFile.Create(options.outputPath, error)) {
        return Fail(outputName, "cannot write: " + error);
    }
    FileSink sink(toStdout ? STDOUT_FILENO : outputFile.Descriptor());
    sink.Write(manuscript);
    if (sink.Error() != 0) {
        return Fail(outputName, "cannot write: " + ErrorText(sink.Error()));
    }
    if (!toStdout && !outputFile.Commit(error)) {
        return Fail(outputName, "cannot write: " + error);
    }
    return 0;
}
