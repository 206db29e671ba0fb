// Converting a whole manuscript with one call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "OutputMode.h"
#include "OutputSink.h"
#include "TextEncoding.h"

namespace quirtle {

// Converts the manuscript `text` (bytes in `encoding`; CR, LF or CR LF end a line) into
// the preview fragment or the export document in the same encoding, writing the output to
// `sink` as it is made.
int32_t ConvertManuscript(std::string_view text, OutputMode mode, OutputSink& sink,
                          TextEncoding encoding = TextEncoding::ShiftJis);

// The same, replacing `result` by the whole output.
int32_t ConvertManuscript(std::string_view text, OutputMode mode, std::string& result,
                          TextEncoding encoding = TextEncoding::ShiftJis);

}  // namespace quirtle
