// Command-line arguments of quirtle-convert.
#pragma once

#include <string>
#include <vector>

#include "OutputMode.h"
#include "TextEncoding.h"

namespace quirtle {

struct ConvertOptions {
    OutputMode mode = OutputMode::Xml;
    TextEncoding encoding = TextEncoding::ShiftJis;
    std::string inputPath;   // empty or "-" means standard input
    std::string outputPath;  // empty means standard output
    bool showHelp = false;
};

// Fills `options` from the arguments after the program name. On a bad argument returns
// false and sets `error` to a one-line reason.
bool ParseConvertArguments(const std::vector<std::string>& args, ConvertOptions& options,
                           std::string& error);

// The usage text printed by --help.
const char* ConvertUsage();

}  // namespace quirtle
