#pragma once

#include <QString>
#include <QStringView>
#include <QUrl>
#include <optional>
#include <string_view>

namespace quirtle {

// The text as a JavaScript string literal (double quotes), safe for any content.
QString JavaScriptStringLiteral(QStringView text);

// A script that replaces the inner HTML of the page's element "contents" by the fragment
// and evaluates to "done", or to "none" (page untouched) when there is no such element.
QString ContentsAssignmentScript(QStringView html);

// The same script made straight from the converter's Shift_JIS fragment in one pass: CR LF,
// lone CR and LF each become one line break, as when the fragment is decoded first. Nothing
// when the bytes are not valid Shift_JIS.
std::optional<QString> ContentsAssignmentScriptFromShiftJis(std::string_view html);

// What a contents script reports when it has run: "done" (the element has the fragment),
// "none" (the page has no element "contents" and was left alone) or "failed" (the fragment
// file could not be read; the page was left alone).
inline constexpr char kContentsDone[] = "done";
inline constexpr char kContentsMissing[] = "none";
inline constexpr char kContentsFetchFailed[] = "failed";

// A script that reads the fragment file (UTF-8) and makes it the inner HTML of the page's
// element "contents"; the file is read before the script ends, so when it reports "done"
// the page holds the fragment. `number` tells one reading of the file from the next.
QString ContentsFetchScript(const QUrl& fragmentFile, quint64 number);

}  // namespace quirtle
