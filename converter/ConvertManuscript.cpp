#include "ConvertManuscript.h"

#include <cstring>

#include "DocumentConverter.h"

namespace quirtle {

int32_t ConvertManuscript(std::string_view text, OutputMode mode, OutputSink& sink) {
    DocumentConverter converter(mode, sink);
    converter.ConvertLines(text, true);
    return converter.Finish();
}

int32_t ConvertManuscript(std::string_view text, OutputMode mode, std::string& result) {
    DocumentConverter converter(mode, result);
    converter.ConvertLines(text, true);
    return converter.Finish();
}

std::string_view TextBeforeNul(std::string_view bytes) {
    const void* nul = std::memchr(bytes.data(), '\0', bytes.size());
    if (nul == nullptr) {
        return bytes;
    }
    return bytes.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - bytes.data()));
}

}  // namespace quirtle
