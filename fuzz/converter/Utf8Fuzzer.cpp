// Feeds arbitrary bytes to the converter as UTF-8, in both modes. The output must be
// valid UTF-8 (invalid input becomes U+FFFD and nothing of it passes raw), must equal the
// conversion of the text with its invalid sequences replaced, must be the same when the
// text comes in pieces, and, for a text that Shift_JIS holds, must be the Shift_JIS
// conversion recoded.
#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "ConvertManuscript.h"
#include "DocumentConverter.h"
#include "Utf8Repair.h"

namespace {

using quirtle::OutputMode;
using quirtle::TextEncoding;

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view utf8Prolog = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
constexpr std::string_view shiftJisProlog = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

std::string Convert(std::string_view text, OutputMode mode, TextEncoding encoding) {
    std::string result;
    Check(quirtle::ConvertManuscript(text, mode, result, encoding) >= 0);
    return result;
}

std::optional<std::string> Recode(std::string_view text, const char* from, const char* to) {
    iconv_t recoder = iconv_open(to, from);
    if (recoder == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string input(text);
    std::string output(input.size() * 2 + 16, '\0');
    char* in = input.data();
    char* out = output.data();
    std::size_t inLeft = input.size();
    std::size_t outLeft = output.size();
    const std::size_t done = iconv(recoder, &in, &inLeft, &out, &outLeft);
    iconv_close(recoder);
    if (done == static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    output.resize(output.size() - outLeft);
    return output;
}

std::string ConvertInPieces(std::string_view text, OutputMode mode, std::size_t pieceSize) {
    std::string result;
    quirtle::DocumentConverter converter(mode, result, TextEncoding::Utf8);
    std::string pending;
    for (std::size_t offset = 0; offset < text.size(); offset += pieceSize) {
        pending.append(text.substr(offset, pieceSize));
        const std::size_t used = converter.ConvertLines(pending, false);
        Check(used <= pending.size());
        pending.erase(0, used);
    }
    Check(converter.ConvertLines(pending, true) == pending.size());
    Check(converter.Finish() >= 0);
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string repaired;
    quirtle::utf8::AppendRepaired(text, repaired);
    // Repairing may make a mark at the start that the text did not have.
    const bool sameStart = text.starts_with(byteOrderMark) || !repaired.starts_with(byteOrderMark);
    const std::string_view body = text.starts_with(byteOrderMark) ? text.substr(3) : text;
    const bool valid = quirtle::utf8::IsValid(text);
    const std::optional<std::string> shiftJis =
        valid ? Recode(body, "UTF-8", "CP932") : std::nullopt;
    const bool agreementHolds =
        shiftJis.has_value() && Recode(*shiftJis, "CP932", "UTF-8") == std::string(body);
    for (OutputMode mode : {OutputMode::Html, OutputMode::Xml}) {
        const std::string out = Convert(text, mode, TextEncoding::Utf8);
        Check(quirtle::utf8::IsValid(out));
        Check(mode == OutputMode::Html || out.starts_with(utf8Prolog));
        Check(!sameStart || out == Convert(repaired, mode, TextEncoding::Utf8));
        Check(ConvertInPieces(text, mode, 1 + size % 7) == out);
        if (agreementHolds) {
            std::string fromShiftJis = Convert(*shiftJis, mode, TextEncoding::ShiftJis);
            if (mode == OutputMode::Xml) {
                fromShiftJis.replace(0, shiftJisProlog.size(), utf8Prolog);
            }
            Check(Recode(fromShiftJis, "CP932", "UTF-8") == out);
        }
    }
    return 0;
}
