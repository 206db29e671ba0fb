#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Status.h"
#include "scripts/ScriptEntry.h"

namespace quirtle {

// Command id of the first script entry; entry n gets kFirstScriptCommand + n.
inline constexpr int32_t kFirstScriptCommand = 3280;

// Name of the script list file beside the program.
inline constexpr std::string_view kScriptListFileName = "script.cfg";

// Splits one script.cfg line (without its CR) into label, program, script, arguments and
// extension at the first four TABs. Fails when the line holds fewer than four TABs; the
// extension keeps any further TABs. Fields are taken exactly as written.
int32_t ParseScriptLine(std::string_view line, int32_t commandId, ScriptEntry& entry);

// Walks the bytes of a whole script.cfg. A line is taken up only when its CR is reached,
// and the byte after that CR is skipped unseen; a LF elsewhere discards the text since the
// line start; text after the last CR is never taken up; lines starting with '#' are
// comments. Any malformed line fails the whole list, and `scripts` is then left empty.
int32_t ParseScriptList(std::string_view bytes, std::vector<ScriptEntry>& scripts);

// Reads "script.cfg" from the program directory (which ends with '/') and parses it.
// Fails when the file cannot be opened or read, or when a line is malformed; `scripts`
// is only filled on success.
int32_t LoadScripts(const std::string& programDirectory, std::vector<ScriptEntry>& scripts);

}  // namespace quirtle
