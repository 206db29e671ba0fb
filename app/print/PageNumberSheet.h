#pragma once

#include <QByteArray>
#include <QPageLayout>
#include <QString>

namespace quirtle {

// A PDF with one page per printed page that holds only that page's number, centred in
// the bottom margin, to be combined with the printed pages. The font is embedded; the
// sheet carries the document's title.
QByteArray PageNumberSheet(int pageCount, const QPageLayout& layout, const QString& fontFamily,
                           const QString& title);

}  // namespace quirtle
