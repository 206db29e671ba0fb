#pragma once

#include <QByteArray>
#include <QPageLayout>
#include <QString>

namespace quirtle {

// A PDF with one page per printed page that holds only that page's number, centred in
// the bottom margin, to be laid over the printed pages. The font is embedded.
QByteArray PageNumberSheet(int pageCount, const QPageLayout& layout, const QString& fontFamily);

}  // namespace quirtle
