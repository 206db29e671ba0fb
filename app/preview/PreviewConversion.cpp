#include "preview/PreviewConversion.h"

#include "ConvertManuscript.h"

namespace quirtle {

std::optional<std::string> ConvertForPreview(const std::string& manuscript) {
    std::string html;
    // The manuscript ends at its first NUL character, as the export reads it too.
    if (ConvertManuscript(TextBeforeNul(manuscript), OutputMode::Html, html) < 0)
        return std::nullopt;
    return html;
}

}  // namespace quirtle
