#pragma once

#include <cstdint>
#include <string>

namespace quirtle {

// One export script declared in script.cfg. All fields are Shift_JIS bytes exactly as
// written in the file.
struct ScriptEntry {
    virtual ~ScriptEntry() = default;

    std::string label;      // menu text; "&" marks the mnemonic
    std::string program;    // program that runs the script, first piece of the command line
    std::string script;     // file name relative to the script/ folder beside the program
    std::string arguments;  // further arguments after the script path
    std::string extension;  // output file extension without the dot
    int32_t commandId = 0;  // menu command of this entry: 3280 + position
};

}  // namespace quirtle
