#include "ui/PreviewConversion.h"

#include "ConvertManuscript.h"

namespace quirtle {

std::optional<std::string> ConvertForPreview(const std::string& manuscript) {
    std::string html;
    // The whole text, a NUL byte included, as the export and quirtle-convert read it.
    if (ConvertManuscript(manuscript, OutputMode::Html, html) < 0) return std::nullopt;
    return html;
}

}  // namespace quirtle
