#pragma once

#include <QString>
#include <QStringView>
#include <optional>
#include <string_view>

namespace quirtle {

// The text as a JavaScript string literal (double quotes), safe for any content.
QString JavaScriptStringLiteral(QStringView text);

// A script that replaces the inner HTML of the page's element "contents" by the fragment
// and evaluates to true, or to false (page untouched) when there is no such element.
QString ContentsAssignmentScript(QStringView html);

// The same script made straight from the converter's Shift_JIS fragment in one pass: CR LF,
// lone CR and LF each become one line break, as when the fragment is decoded first. Nothing
// when the bytes are not valid Shift_JIS.
std::optional<QString> ContentsAssignmentScriptFromShiftJis(std::string_view html);

}  // namespace quirtle
