// The two outputs of the converter.
#pragma once

#include <cstdint>

namespace quirtle {

// Html: the preview fragment. Xml: the Shift_JIS export document.
enum class OutputMode : int32_t { Html = 0, Xml = 1 };

}  // namespace quirtle
