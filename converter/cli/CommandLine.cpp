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

bool ParseConvertArguments(const std::vector<std::string>& args, ConvertOptions& options,
                           std::string& error) {
    bool haveInput = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool isOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (isOption && arg == "--") {
            optionsEnded = true;
        } else if (isOption && arg == "--xml") {
            options.mode = OutputMode::Xml;
        } else if (isOption && arg == "--html") {
            options.mode = OutputMode::Html;
        } else if (isOption && arg == "--utf-8") {
            options.encoding = TextEncoding::Utf8;
        } else if (isOption && (arg == "--help" || arg == "-h")) {
            options.showHelp = true;
        } else if (isOption && arg == "-o") {
            if (i + 1 >= args.size()) {
                error = "option -o needs an output file name";
                return false;
            }
            options.outputPath = args[++i];
            if (options.outputPath.empty()) {
                error = "option -o needs an output file name";
                return false;
            }
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
    return true;
}

}  // namespace quirtle
