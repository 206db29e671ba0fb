#include "ui/PreviewConversion.h"

#include "DocumentConverter.h"

namespace quirtle {

std::optional<std::string> ConvertForPreview(const std::string& manuscript) {
    DocumentConverter converter;
    if (converter.SplitLines(manuscript) < 0) return std::nullopt;
    std::string html;
    if (converter.ConvertToHtml(html) < 0) return std::nullopt;
    return html;
}

}  // namespace quirtle
