// Reading the whole manuscript and replacing the output file safely.
#pragma once

#include <string>

namespace quirtle {

// Reads every byte of the file at `path`, or of standard input when `path` is empty or
// "-". On failure returns false and sets `error` to the reason.
bool ReadAllBytes(const std::string& path, std::string& bytes, std::string& error);

// Writes `bytes` to standard output. On failure returns false and sets `error`.
bool WriteStandardOutput(const std::string& bytes, std::string& error);

// Replaces the file at `path` by `bytes`: the bytes go to a temporary file in the same
// folder, which is flushed to disk and then renamed over `path`, so a failure never
// leaves a truncated file. An existing file keeps its permissions. On failure returns
// false, removes the temporary file and sets `error`.
bool ReplaceFile(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace quirtle
