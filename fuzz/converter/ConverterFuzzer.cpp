// Feeds arbitrary bytes to the converter in both modes. Besides memory errors it
// checks that the export document keeps its wrapper, that the output stays in
// proportion to the input, and that the inline conversion of every line agrees with
// a plain recursive conversion written straight from the grammar.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ConvertManuscript.h"
#include "ConverterAccess.h"
#include "ReferenceInline.h"

namespace {

constexpr std::string_view xmlProlog = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><document>";
constexpr std::string_view xmlEnd = "</document>\r\n";

// Compares the inline conversion of `line` with the reference, with and without the
// definition-term terminator.
void CheckInline(const quirtle::testing::ConverterAccess& converter, std::string_view line) {
    for (std::string_view terminators : {std::string_view(), std::string_view(":")}) {
        const char* end = line.data() + line.size();
        const char* cursor = line.data();
        std::string out;
        const int32_t status = converter.ConvertInline(cursor, end, out, terminators);
        const char* expectedCursor = line.data();
        std::string expected;
        const int32_t expectedStatus = quirtle::reference::ConvertInline(
            converter, expectedCursor, end, expected, terminators);
        if ((status < 0) != (expectedStatus < 0)) {
            std::abort();
        }
        if (status >= 0 && (out != expected || cursor != expectedCursor)) {
            std::abort();
        }
    }
}

void CheckInlineLines(const quirtle::testing::ConverterAccess& converter, const std::string& text) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t stop = text.find_first_of("\r\n", start);
        if (stop == std::string::npos) {
            stop = text.size();
        }
        CheckInline(converter, std::string_view(text).substr(start, stop - start));
        start = stop + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    using quirtle::OutputMode;
    std::string html;
    if (quirtle::ConvertManuscript(text, OutputMode::Html, html) < 0) {
        std::abort();
    }

    std::string xml;
    if (quirtle::ConvertManuscript(text, OutputMode::Xml, xml) < 0) {
        std::abort();
    }
    if (!xml.starts_with(xmlProlog) || !xml.ends_with(xmlEnd)) {
        std::abort();
    }
    // Every line gives at most a bounded amount of markup per input byte.
    if (html.size() > 64 * size + 64 || xml.size() > 64 * size + 128) {
        std::abort();
    }
    CheckInlineLines(quirtle::testing::ConverterAccess(OutputMode::Html), text);
    CheckInlineLines(quirtle::testing::ConverterAccess(OutputMode::Xml), text);
    return 0;
}
