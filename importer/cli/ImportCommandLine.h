// Command-line arguments of quirtle-import.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Import.h"

namespace quirtle::importer {

struct ImportOptions : CommandArguments {
    std::optional<Notation> notation;
    bool utf8 = false;  // write UTF-8 instead of Shift_JIS
};

// Fills `options` from the arguments after the program name. On a bad argument returns
// false and sets `error` to a one-line reason.
bool ParseImportArguments(const std::vector<std::string>& args, ImportOptions& options,
                          std::string& error);

// The usage text printed by --help.
const char* ImportUsage();

}  // namespace quirtle::importer
