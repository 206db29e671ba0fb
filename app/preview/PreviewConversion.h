#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quirtle {

// Turns the manuscript (Shift_JIS bytes, CR LF; it ends at its first NUL byte) into the
// preview's HTML fragment (Shift_JIS bytes); nothing when the conversion failed.
using PreviewConverter = std::function<std::optional<std::string>(const std::string&)>;

// The converter of the preview: the whole manuscript converted in one call.
std::optional<std::string> ConvertForPreview(const std::string& manuscript);

}  // namespace quirtle
