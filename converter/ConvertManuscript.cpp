#include "ConvertManuscript.h"

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

}  // namespace quirtle
