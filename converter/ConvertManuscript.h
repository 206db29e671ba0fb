// Converting a whole manuscript with one call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "OutputMode.h"
#include "OutputSink.h"

namespace quirtle {

// Converts the manuscript `text` (Shift_JIS bytes; CR, LF or CR LF end a line) into the
// preview fragment or the export document, writing the output to `sink` as it is made.
int32_t ConvertManuscript(std::string_view text, OutputMode mode, OutputSink& sink);

// The same, replacing `result` by the whole output.
int32_t ConvertManuscript(std::string_view text, OutputMode mode, std::string& result);

}  // namespace quirtle
