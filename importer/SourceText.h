// Reading a source text: its bytes decoded to characters and split into lines.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quirtle::importer {

enum class SourceEncoding { Utf8, ShiftJis };

struct DecodedSource {
    std::u32string text;  // without a byte-order mark
    SourceEncoding encoding = SourceEncoding::Utf8;
};

// Decides the encoding by the bytes: a UTF-8 byte-order mark or well-formed UTF-8 is
// UTF-8, otherwise Shift_JIS (CP932). Nothing when the bytes are neither; `badLine` is
// then the 1-based line of the first bytes Shift_JIS cannot read.
std::optional<DecodedSource> DecodeSource(std::string_view bytes, int* badLine = nullptr);

// The lines of a text; CR LF, CR and LF each end one line, and a text that ends with a
// line break has no empty last line.
std::vector<std::u32string_view> SplitLines(std::u32string_view text);

}  // namespace quirtle::importer
