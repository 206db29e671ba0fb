// The encodings a manuscript may be read in.
#pragma once

namespace quirtle {

// ShiftJis: Shift_JIS in, Shift_JIS out (the export declared so). Utf8: UTF-8 in, UTF-8
// out (the export declared encoding="UTF-8"); a byte-order mark at the start of the text
// is not part of it.
enum class TextEncoding { ShiftJis, Utf8 };

}  // namespace quirtle
