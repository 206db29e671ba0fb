#include "ImportCommandLine.h"

namespace quirtle::importer {

const char* ImportUsage() {
    return "Usage: quirtle-import --from aozora|kakuyomu|narou [--utf-8] [-o OUTPUT] [FILE | -]\n"
           "Turns a text in the notation of 青空文庫 (aozora), カクヨム (kakuyomu) or\n"
           "小説家になろう (narou) into a quirtle manuscript. The text may be UTF-8 (with or\n"
           "without a byte-order mark) or Shift_JIS; the bytes decide.\n"
           "\n"
           "  --from NOTATION  the notation of the text: aozora, kakuyomu or narou\n"
           "  --utf-8          write the manuscript in UTF-8 (default: Shift_JIS)\n"
           "  -o OUTPUT        write to OUTPUT (replaced only by a complete result)\n"
           "                   instead of standard output\n"
           "  --help           show this help\n"
           "\n"
           "FILE absent or '-' reads the text from standard input.\n"
           "Exit status: 0 on success, 2 on a bad argument, an input or output error, or\n"
           "a character Shift_JIS cannot hold (without --utf-8).\n";
}

bool ParseImportArguments(const std::vector<std::string>& args, ImportOptions& options,
                          std::string& error) {
    bool haveInput = false;
    bool optionsEnded = false;
    const auto setNotation = [&](const std::string& name) {
        options.notation = NotationFromName(name);
        if (!options.notation) {
            error = "unknown notation '" + name + "' (aozora, kakuyomu or narou)";
            return false;
        }
        return true;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool isOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (isOption && arg == "--") {
            optionsEnded = true;
        } else if (isOption && arg == "--from") {
            if (i + 1 >= args.size()) {
                error = "option --from needs a notation (aozora, kakuyomu or narou)";
                return false;
            }
            if (!setNotation(args[++i])) return false;
        } else if (isOption && arg.rfind("--from=", 0) == 0) {
            if (!setNotation(arg.substr(7))) return false;
        } else if (isOption && arg == "--utf-8") {
            options.utf8 = true;
        } else if (isOption && (arg == "--help" || arg == "-h")) {
            options.showHelp = true;
        } else if (isOption && arg == "-o") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = "option -o needs an output file name";
                return false;
            }
            options.outputPath = args[++i];
        } else if (isOption && arg.rfind("-o", 0) == 0 && arg.rfind("--", 0) != 0) {
            options.outputPath = arg.substr(2);
        } else if (isOption) {
            error = "unknown option '" + arg + "'";
            return false;
        } else if (haveInput) {
            error = "more than one input file ('" + options.inputPath + "' and '" + arg + "')";
            return false;
        } else {
            options.inputPath = arg;
            haveInput = true;
        }
    }
    if (!options.notation && !options.showHelp) {
        error = "option --from is required (aozora, kakuyomu or narou)";
        return false;
    }
    return true;
}

}  // namespace quirtle::importer
