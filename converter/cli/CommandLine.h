// Command-line arguments of quirtle-convert.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "OutputMode.h"
#include "TextEncoding.h"

namespace quirtle {

// What every quirtle command line has: one input, -o OUTPUT and --help.
struct CommandArguments {
    std::string inputPath;   // empty or "-" means standard input
    std::string outputPath;  // empty means standard output
    bool showHelp = false;
};

// Reads one option of a command's own from args[i] (advancing `i` past a value it takes):
// 1 when it was one, 0 when it is not the command's, -1 with `error` set when it is bad.
using OwnOptionReader =
    std::function<int(const std::vector<std::string>& args, std::size_t& i, std::string& error)>;

// Reads the arguments after the program name: "--" ends the options, the command's own
// options come first, then --help / -h, -o OUTPUT (or -oOUTPUT) and one input file. On a
// bad argument returns false and sets `error` to a one-line reason.
bool ParseCommandArguments(const std::vector<std::string>& args, CommandArguments& common,
                           const OwnOptionReader& readOwn, std::string& error);

struct ConvertOptions : CommandArguments {
    OutputMode mode = OutputMode::Xml;
    TextEncoding encoding = TextEncoding::ShiftJis;
};

// Fills `options` from the arguments after the program name. On a bad argument returns
// false and sets `error` to a one-line reason.
bool ParseConvertArguments(const std::vector<std::string>& args, ConvertOptions& options,
                           std::string& error);

// The usage text printed by --help.
const char* ConvertUsage();

}  // namespace quirtle
