#include "ConvertManuscript.h"

#include "DocumentConverter.h"

namespace quirtle {

int32_t ConvertManuscript(std::string_view text, OutputMode mode, OutputSink& sink,
                          TextEncoding encoding) {
    DocumentConverter converter(mode, sink, encoding);
    converter.ConvertLines(text, true);
    return converter.Finish();
}

int32_t ConvertManuscript(std::string_view text, OutputMode mode, std::string& result,
                          TextEncoding encoding) {
    DocumentConverter converter(mode, result, encoding);
    converter.ConvertLines(text, true);
    return converter.Finish();
}

}  // namespace quirtle
