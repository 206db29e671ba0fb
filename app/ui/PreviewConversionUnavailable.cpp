#include "ui/PreviewConversion.h"

namespace quirtle {

// Built only while the converter library is not part of the build: every preview then
// ends as a failed conversion does, leaving the page alone.
std::optional<std::string> ConvertForPreview(const std::string&) {
    return std::nullopt;
}

}  // namespace quirtle
