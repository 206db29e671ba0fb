#include "CommandLine.h"

namespace quirtle {

const char* ConvertUsage() {
    return "Usage: quirtle-convert [--xml | --html] [--utf-8] [-o OUTPUT] [FILE | -]\n"
           "Converts a Shift_JIS manuscript to the export XML document (the default)\n"
           "or to the preview HTML fragment, exactly as the quirtle editor does.\n"
           "\n"
           "  --xml        write the export XML document (default)\n"
           "  --html       write the preview HTML fragment\n"
           "  --utf-8      read a UTF-8 manuscript and write UTF-8 (the XML declared\n"
           "               so); a byte-order mark is skipped, invalid bytes become U+FFFD\n"
           "  -o OUTPUT    write to OUTPUT (replaced only by a complete result)\n"
           "               instead of standard output\n"
           "  --help       show this help\n"
           "\n"
           "FILE absent or '-' reads the manuscript from standard input.\n"
           "Exit status: 0 on success, 2 on a bad argument or an input or output error.\n";
}

bool ParseCommandArguments(const std::vector<std::string>& args, CommandArguments& common,
                           const OwnOptionReader& readOwn, std::string& error) {
    bool haveInput = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool isOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (isOption && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (isOption) {
            const int own = readOwn(args, i, error);
            if (own < 0) return false;
            if (own > 0) continue;
        }
        if (isOption && (arg == "--help" || arg == "-h")) {
            common.showHelp = true;
        } else if (isOption && arg == "-o") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = "option -o needs an output file name";
                return false;
            }
            common.outputPath = args[++i];
        } else if (isOption && arg.rfind("-o", 0) == 0 && arg.rfind("--", 0) != 0) {
            common.outputPath = arg.substr(2);
        } else if (isOption) {
            error = "unknown option '" + arg + "'";
            return false;
        } else if (haveInput) {
            error = "more than one input file ('" + common.inputPath + "' and '" + arg + "')";
            return false;
        } else {
            common.inputPath = arg;
            haveInput = true;
        }
    }
    return true;
}

bool ParseConvertArguments(const std::vector<std::string>& args, ConvertOptions& options,
                           std::string& error) {
    const auto readOwn = [&](const std::vector<std::string>& all, std::size_t& i, std::string&) {
        const std::string& arg = all[i];
        if (arg == "--xml") {
            options.mode = OutputMode::Xml;
        } else if (arg == "--html") {
            options.mode = OutputMode::Html;
        } else if (arg == "--utf-8") {
            options.encoding = TextEncoding::Utf8;
        } else {
            return 0;
        }
        return 1;
    };
    return ParseCommandArguments(args, options, readOwn, error);
}

}  // namespace quirtle
