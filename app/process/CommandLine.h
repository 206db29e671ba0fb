#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quirtle::process {

// Command-line text as the Windows C runtime splits it into arguments. The configuration
// files this program reads were written for that convention, so their program and argument
// fields are split the same way here before a child is started:
// - arguments are separated by spaces and TABs; double quotes group text with blanks;
// - 2n backslashes before a double quote give n backslashes, and the quote groups;
//   2n+1 backslashes before it give n backslashes and a literal double quote;
//   backslashes anywhere else are literal;
// - inside quotes, two double quotes give one literal double quote;
// - a Shift_JIS lead byte takes the byte after it along unread (that byte may be 0x5C).

// Splits `text` whose first argument is a program name: in it, double quotes only group
// and backslashes are always literal. Blanks before the program name are skipped.
std::vector<std::string> SplitCommandLine(std::string_view text);

// Splits `text` with the argument rules only (no program name at its start).
std::vector<std::string> SplitArguments(std::string_view text);

}  // namespace quirtle::process
