#pragma once

#include <QByteArray>

namespace quirtle::text {

// The character set of the user's locale as an iconv name ("UTF-8", "EUC-JP", ...): the
// encoding other desktop programs read and write plain text in. The plain C locale
// (ASCII) counts as UTF-8, as it does for current desktop programs.
QByteArray LocaleCharset();

}  // namespace quirtle::text
