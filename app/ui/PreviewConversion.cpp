#include "ui/PreviewConversion.h"

#include "ConvertManuscript.h"

namespace quirtle {

std::optional<std::string> ConvertForPreview(const std::string& manuscript) {
    std::string html;
    if (ConvertManuscript(manuscript, OutputMode::Html, html) < 0) return std::nullopt;
    return html;
}

}  // namespace quirtle
