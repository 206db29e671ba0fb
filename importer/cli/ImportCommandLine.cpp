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
    const auto setNotation = [&](const std::string& name) {
        options.notation = NotationFromName(name);
        if (!options.notation) {
            error = "unknown notation '" + name + "' (aozora, kakuyomu or narou)";
            return -1;
        }
        return 1;
    };
    const auto readOwn = [&](const std::vector<std::string>& all, std::size_t& i, std::string&) {
        const std::string& arg = all[i];
        if (arg == "--from") {
            if (i + 1 >= all.size()) {
                error = "option --from needs a notation (aozora, kakuyomu or narou)";
                return -1;
            }
            return setNotation(all[++i]);
        }
        if (arg.rfind("--from=", 0) == 0) return setNotation(arg.substr(7));
        if (arg == "--utf-8") {
            options.utf8 = true;
            return 1;
        }
        return 0;
    };
    if (!ParseCommandArguments(args, options, readOwn, error)) return false;
    if (!options.notation && !options.showHelp) {
        error = "option --from is required (aozora, kakuyomu or narou)";
        return false;
    }
    return true;
}

}  // namespace quirtle::importer
