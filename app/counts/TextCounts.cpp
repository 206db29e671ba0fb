#include "counts/TextCounts.h"

#include <string>

#include "ConvertManuscript.h"
#include "counts/ExportText.h"

namespace quirtle::counts {
namespace {

// Adds up the characters of each block and the lines the block takes.
struct Counter {
    TextCounts counts;
    std::size_t block = 0;  // characters of the block being read

    void Text(const char*, const char*, std::size_t characters) { block += characters; }
    void BlockEnd() {
        counts.characters += block;
        counts.lines += BlockLines(block);
        block = 0;
    }
    void Tag(std::string_view) {}
};

}  // namespace

TextCounts CountExportDocument(std::string_view xml, TextEncoding encoding) {
    Counter counter;
    ReadExportText(xml, encoding, counter);
    counter.counts.pages = PagesForLines(counter.counts.lines);
    return counter.counts;
}

std::optional<TextCounts> CountManuscript(std::string_view manuscript, TextEncoding encoding) {
    std::string xml;
    if (ConvertManuscript(manuscript, OutputMode::Xml, xml, encoding) < 0) {
        return std::nullopt;
    }
    return CountExportDocument(xml, encoding);
}

}  // namespace quirtle::counts
