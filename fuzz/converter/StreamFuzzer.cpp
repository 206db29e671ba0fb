// Feeds arbitrary bytes to the converter the way quirtle-convert does: in pieces of
// varying size, each followed by the bytes the converter left unconverted, with the
// output handed to a sink in pieces. The result must equal the whole text converted at
// once into a string, in both modes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ConvertManuscript.h"
#include "DocumentConverter.h"

namespace {

// A sink that collects what it is given and checks no piece is empty.
class CheckingSink : public quirtle::OutputSink {
  public:
    std::string collected;
    void Write(std::string_view bytes) override {
        if (bytes.empty()) {
            std::abort();
        }
        collected.append(bytes);
    }
};

void CheckStreamed(std::string_view text, std::string_view pieceSizes, quirtle::OutputMode mode) {
    std::string whole;
    if (quirtle::ConvertManuscript(text, mode, whole) < 0) {
        std::abort();
    }
    CheckingSink sink;
    quirtle::DocumentConverter converter(mode, sink);
    std::string pending;  // the bytes not converted yet, as quirtle-convert keeps them
    std::size_t offset = 0;
    std::size_t piece = 0;
    while (offset < text.size()) {
        const std::size_t size =
            pieceSizes.empty()
                ? text.size()
                : 1 + static_cast<unsigned char>(pieceSizes[piece++ % pieceSizes.size()]);
        const std::size_t take = std::min(size, text.size() - offset);
        pending.append(text.substr(offset, take));
        offset += take;
        const std::size_t used = converter.ConvertLines(pending, false);
        if (used > pending.size()) {
            std::abort();
        }
        pending.erase(0, used);
    }
    if (converter.ConvertLines(pending, true) != pending.size() || converter.Finish() < 0) {
        std::abort();
    }
    if (sink.collected != whole) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first bytes up to a NUL choose the piece sizes; the rest is the manuscript.
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = bytes.find('\0');
    const std::string_view pieceSizes =
        nul == std::string_view::npos ? std::string_view() : bytes.substr(0, nul);
    const std::string_view text = nul == std::string_view::npos ? bytes : bytes.substr(nul + 1);
    CheckStreamed(text, pieceSizes, quirtle::OutputMode::Html);
    CheckStreamed(text, pieceSizes, quirtle::OutputMode::Xml);
    return 0;
}
