#include "print/PageNumberSheet.h"

#include <QBuffer>
#include <QFont>
#include <QPainter>
#include <QPdfWriter>

namespace quirtle {

QByteArray PageNumberSheet(int pageCount, const QPageLayout& layout, const QString& fontFamily,
                           const QString& title) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setCreator(QStringLiteral("quirtle-print"));
    writer.setTitle(title);
    // The sheet covers the whole page: no margins, so positions are page positions.
    writer.setPageLayout(
        QPageLayout(layout.pageSize(), layout.orientation(), QMarginsF(), QPageLayout::Millimeter));
    writer.setResolution(720);

    QPainter painter(&writer);
    QFont font(fontFamily);
    font.setPointSizeF(9);
    painter.setFont(font);
    const double dotsPerMm = writer.resolution() / 25.4;
    const QSizeF page = layout.fullRect(QPageLayout::Millimeter).size();
    const double bottomMargin = layout.margins(QPageLayout::Millimeter).bottom();
    // The number sits in the middle of the bottom margin.
    const QRectF box(0, (page.height() - bottomMargin) * dotsPerMm, page.width() * dotsPerMm,
                     bottomMargin * dotsPerMm);
    for (int number = 1; number <= pageCount; ++number) {
        if (number > 1) writer.newPage();
        painter.drawText(box, Qt::AlignCenter, QString::number(number));
    }
    painter.end();
    return bytes;
}

}  // namespace quirtle
