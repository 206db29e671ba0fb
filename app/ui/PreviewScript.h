#pragma once

#include <QString>
#include <QStringView>

namespace quirtle {

// The text as a JavaScript string literal (double quotes), safe for any content.
QString JavaScriptStringLiteral(QStringView text);

// A script that replaces the inner HTML of the page's element "contents" by the fragment
// and evaluates to true, or to false (page untouched) when there is no such element.
QString ContentsAssignmentScript(QStringView html);

}  // namespace quirtle
