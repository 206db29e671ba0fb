#include "preview/PreviewConversion.h"

#include "ConvertManuscript.h"

namespace quirtle {

namespace {

// Collects the output and the offset where each line's output begins.
class LineSink : public OutputSink {
  public:
    explicit LineSink(PreviewFragment& fragment) : fragment(fragment) {}
    void Write(std::string_view bytes) override { fragment.html.append(bytes); }
    bool ReportsLines() const override { return true; }
    void LineBegins(std::size_t line, std::size_t outputOffset) override {
        fragment.lines.emplace_back(line, outputOffset);
    }

  private:
    PreviewFragment& fragment;
};

}  // namespace

std::optional<std::string> ConvertForPreview(const std::string& manuscript) {
    std::string html;
    // The whole text, a NUL byte included, as the export and quirtle-convert read it.
    if (ConvertManuscript(manuscript, OutputMode::Html, html, TextEncoding::Utf8) < 0)
        return std::nullopt;
    return html;
}

std::optional<PreviewFragment> ConvertForPreviewWithLines(const std::string& manuscript) {
    PreviewFragment fragment;
    LineSink sink(fragment);
    if (ConvertManuscript(manuscript, OutputMode::Html, sink, TextEncoding::Utf8) < 0)
        return std::nullopt;
    return fragment;
}

PreviewLinesConverter WithoutLines(PreviewConverter converter) {
    return [converter = std::move(converter)](
               const std::string& manuscript) -> std::optional<PreviewFragment> {
        auto html = converter(manuscript);
        if (!html) return std::nullopt;
        return PreviewFragment{std::move(*html), {}};
    };
}

}  // namespace quirtle
