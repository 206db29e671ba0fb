#include "print/BookSheet.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <optional>

namespace quirtle {

namespace {

// Device units per point: fine enough that positions keep a hundredth of a point.
constexpr int kResolution = 7200;
constexpr double kScale = kResolution / 72.0;

std::optional<QList<double>> Numbers(const QList<QByteArray>& fields, qsizetype first,
                                     qsizetype count) {
    if (fields.size() < first + count) return std::nullopt;
    QList<double> values;
    for (qsizetype i = first; i < first + count; ++i) {
        bool ok = false;
        const double value = fields[i].toDouble(&ok);
        if (!ok || value < -10000 || value > 10000) return std::nullopt;
        values.append(value);
    }
    return values;
}

}  // namespace

QByteArray BookSheet(const QByteArray& description, QString& error) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setCreator(QStringLiteral("quirtle-print"));
    writer.setResolution(kResolution);
    std::optional<QPainter> painter;
    QString family = QStringLiteral("serif");
    int lineNumber = 0;
    const auto fail = [&](const QString& what) {
        error = QStringLiteral("sheet line %1: %2").arg(lineNumber).arg(what);
        if (painter) painter->end();
        return QByteArray();
    };
    for (const QByteArray& line : description.split('\n')) {
        ++lineNumber;
        const QByteArray trimmed = line.endsWith('\r') ? line.chopped(1) : line;
        if (trimmed.isEmpty()) continue;
        const QList<QByteArray> fields = trimmed.split('\t');
        const QByteArray& kind = fields[0];
        if (kind == "font" && fields.size() == 2) {
            family = QString::fromUtf8(fields[1]);
        } else if (kind == "page") {
            const auto size = Numbers(fields, 1, 2);
            if (!size || fields.size() != 3 || (*size)[0] < 1 || (*size)[1] < 1) {
                return fail(QStringLiteral("a page needs a width and a height"));
            }
            const QPageSize pageSize(QSizeF((*size)[0], (*size)[1]), QPageSize::Point, QString(),
                                     QPageSize::ExactMatch);
            if (!painter) {
                writer.setPageLayout(QPageLayout(pageSize, QPageLayout::Portrait, QMarginsF()));
                painter.emplace(&writer);
            } else {
                writer.setPageLayout(QPageLayout(pageSize, QPageLayout::Portrait, QMarginsF()));
                writer.newPage();
            }
        } else if (kind == "text") {
            const auto values = Numbers(fields, 1, 3);
            if (!values || fields.size() != 6 || (*values)[2] <= 0 || fields[4].size() != 1 ||
                !QByteArray("lcr").contains(fields[4][0])) {
                return fail(QStringLiteral("text needs X, Y, a size, l/c/r and the text"));
            }
            if (!painter) return fail(QStringLiteral("text before the first page"));
            QFont font(family);
            font.setPointSizeF((*values)[2]);
            painter->setFont(font);
            const QString text = QString::fromUtf8(fields[5]);
            const double width = QFontMetricsF(font, painter->device()).horizontalAdvance(text);
            const double advance = width / kScale;  // device units to points
            double x = (*values)[0];
            if (fields[4][0] == 'c') x -= advance / 2;
            if (fields[4][0] == 'r') x -= advance;
            painter->drawText(QPointF(x, (*values)[1]) * kScale, text);
        } else if (kind == "line") {
            const auto values = Numbers(fields, 1, 5);
            if (!values || fields.size() != 6 || (*values)[4] <= 0) {
                return fail(QStringLiteral("a line needs X1, Y1, X2, Y2 and a width"));
            }
            if (!painter) return fail(QStringLiteral("a line before the first page"));
            painter->setPen(QPen(Qt::black, (*values)[4] * kScale, Qt::SolidLine, Qt::FlatCap));
            painter->drawLine(QPointF((*values)[0], (*values)[1]) * kScale,
                              QPointF((*values)[2], (*values)[3]) * kScale);
        } else {
            return fail(QStringLiteral("unknown item %1").arg(QString::fromUtf8(kind)));
        }
    }
    if (!painter) {
        error = QStringLiteral("the sheet has no page");
        return {};
    }
    painter->end();
    return bytes;
}

}  // namespace quirtle
