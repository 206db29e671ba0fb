// Command-line arguments of quirtle-import.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Import.h"

namespace quirtle::importer {

struct ImportOptions {
    std::optional<Notation> notation;
    bool utf8 = false;       // write UTF-8 instead of Shift_JIS
    std::string inputPath;   // empty or "-" means standard input
    std::string outputPath;  // empty means standard output
    bool showHelp = false;
};

// Fills `options` from the arguments after the program name. On a bad argument returns
// false and sets `error` to a one-line reason.
bool ParseImportArguments(const std::vector<std::string>& args, ImportOptions& options,
                          std::string& error);

// The usage text printed by --help.
const char* ImportUsage();

}  // namespace quirtle::importer
