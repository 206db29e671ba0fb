#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quirtle {

// Turns the manuscript (UTF-8 bytes, the editor's whole text) into the preview's HTML
// fragment (UTF-8 bytes); nothing when the conversion failed.
using PreviewConverter = std::function<std::optional<std::string>(const std::string&)>;

// The converter of the preview: the whole manuscript converted in one call.
std::optional<std::string> ConvertForPreview(const std::string& manuscript);

// The fragment, and where each manuscript line's output begins in it.
struct PreviewFragment {
    std::string html;                                        // UTF-8, as the converter wrote it
    std::vector<std::pair<std::size_t, std::size_t>> lines;  // (line index, byte offset in html)
};
using PreviewLinesConverter = std::function<std::optional<PreviewFragment>(const std::string&)>;

// The same conversion, telling where each line's output begins.
std::optional<PreviewFragment> ConvertForPreviewWithLines(const std::string& manuscript);

// A converter that tells no lines, as one that tells them: every block is then on line 0
// and no section is looked into.
PreviewLinesConverter WithoutLines(PreviewConverter converter);

}  // namespace quirtle
