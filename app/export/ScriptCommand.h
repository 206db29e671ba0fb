#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "scripts/ScriptEntry.h"

namespace quirtle {

// A Shift_JIS text of script.cfg (a program name, an argument) as bytes this system's
// file names and arguments use; text that is not valid Shift_JIS is passed unchanged.
std::string ToSystemBytes(std::string_view shiftJis);

// The arguments an export script is started with: the entry's program split as a
// command line is split, the script's full path, the entry's arguments split the same
// way, then "-o" and the output path. The two paths are passed whole, never split.
// An empty program starts the script file itself.
std::vector<std::string> ScriptArguments(const ScriptEntry& entry, const QString& programDirectory,
                                         const QString& outputPath);

// The folder the scripts live in and run in: "script/" beside the program.
QString ScriptDirectory(const QString& programDirectory);

}  // namespace quirtle
