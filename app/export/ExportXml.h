#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace quirtle {

// The export document of the editor's text, as scripts read it: Shift_JIS, declared so.
// The text is converted as UTF-8 and written in Shift_JIS, every character Shift_JIS cannot
// hold as a numeric character reference (&#x20B9F;) in text and attribute values. A line
// whose element name (a division or a command) holds such a character is written as an
// incomplete block, as a line with any other name that cannot be written: its text shows
// with references. Nothing when the conversion failed.
std::optional<std::string> MakeExportXml(const QString& text);

// The converter's UTF-8 export XML in Shift_JIS, as above: the declaration says Shift_JIS,
// characters Shift_JIS cannot hold are references (U+FFFD's for characters XML does not
// allow). `nameUnencodable` is set when such a character stands in an element name, where
// no reference may stand (it is written as U+FFFD's reference there, which no name holds).
std::string ExportXmlToShiftJis(std::string_view utf8Xml, bool& nameUnencodable);

}  // namespace quirtle
