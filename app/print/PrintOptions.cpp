#include "print/PrintOptions.h"

#include <QMarginsF>
#include <QPageSize>
#include <QSizeF>

namespace quirtle {

namespace {

// A named size (A4, A5, A6, B6) or "WIDTHxHEIGHT" in points.
bool ReadPageSize(const QString& name, QPageSize& size) {
    static const QList<QPair<QString, QPageSize::PageSizeId>> named = {
        {QStringLiteral("A4"), QPageSize::A4},
        {QStringLiteral("A5"), QPageSize::A5},
        {QStringLiteral("A6"), QPageSize::A6},
        {QStringLiteral("B6"), QPageSize::JisB6},
    };
    for (const auto& [text, id] : named) {
        if (name.compare(text, Qt::CaseInsensitive) == 0) {
            size = QPageSize(id);
            return true;
        }
    }
    const QStringList parts = name.split('x');
    if (parts.size() != 2) return false;
    bool widthOk = false;
    bool heightOk = false;
    const double width = parts[0].toDouble(&widthOk);
    const double height = parts[1].toDouble(&heightOk);
    if (!widthOk || !heightOk || width < 36 || height < 36 || width > 5000 || height > 5000) {
        return false;
    }
    size = QPageSize(QSizeF(width, height), QPageSize::Point, QString(), QPageSize::ExactMatch);
    return true;
}

// "top,right,bottom,left" in millimetres.
bool ReadMargins(const QString& text, QMarginsF& margins) {
    const QStringList parts = text.split(',');
    if (parts.size() != 4) return false;
    double values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].toDouble(&ok);
        if (!ok || values[i] < 0 || values[i] > 500) return false;
    }
    margins = QMarginsF(values[3], values[0], values[1], values[2]);
    return true;
}

}  // namespace

bool ParsePrintOptions(const QStringList& arguments, PrintOptions& options, QString& error) {
    QPageSize size(QPageSize::A4);
    QMarginsF margins(15, 15, 15, 15);
    QStringList files;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == QStringLiteral("--page-size") && hasValue) {
            if (!ReadPageSize(arguments[++i], size)) {
                error = QStringLiteral(
                            "unknown page size %1 (A4, A5, A6, B6 or WIDTHxHEIGHT in points)")
                            .arg(arguments[i]);
                return false;
            }
        } else if (argument == QStringLiteral("--margins") && hasValue) {
            if (!ReadMargins(arguments[++i], margins)) {
                error =
                    QStringLiteral("margins must be four millimetre values top,right,bottom,left");
                return false;
            }
        } else if (argument == QStringLiteral("--jobs") && hasValue) {
            bool ok = false;
            options.jobs = arguments[++i].toInt(&ok);
            if (!ok || options.jobs < 1 || options.jobs > 64) {
                error = QStringLiteral("--jobs takes a number from 1 to 64");
                return false;
            }
        } else if (argument == QStringLiteral("--sheet") && hasValue) {
            options.sheet = arguments[++i];
        } else if (argument.startsWith(QStringLiteral("--"))) {
            error = QStringLiteral("unknown option %1").arg(argument);
            return false;
        } else {
            files.append(argument);
        }
    }
    options.layout = QPageLayout(size, QPageLayout::Portrait, margins, QPageLayout::Millimeter);
    if (!options.sheet.isEmpty()) {
        if (files.size() != 1) {
            error = QStringLiteral("usage: quirtle-print --sheet SHEET.txt OUTPUT.pdf");
            return false;
        }
        options.sheetOutput = files[0];
        return true;
    }
    if (files.isEmpty() || files.size() % 2 != 0) {
        error = QStringLiteral(
            "usage: quirtle-print [--page-size A4|A5|A6|B6|WxH] [--margins T,R,B,L] "
            "[--jobs N] INPUT.xhtml OUTPUT.pdf [INPUT2.xhtml OUTPUT2.pdf ...]");
        return false;
    }
    for (qsizetype i = 0; i < files.size(); i += 2) options.pages.append({files[i], files[i + 1]});
    return true;
}

}  // namespace quirtle
