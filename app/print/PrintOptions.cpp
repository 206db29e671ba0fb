#include "print/PrintOptions.h"

#include <QMarginsF>
#include <QPageSize>

namespace quirtle {

namespace {

bool ReadPageSize(const QString& name, QPageSize& size) {
    if (name.compare(QStringLiteral("A4"), Qt::CaseInsensitive) == 0) {
        size = QPageSize(QPageSize::A4);
    } else if (name.compare(QStringLiteral("A5"), Qt::CaseInsensitive) == 0) {
        size = QPageSize(QPageSize::A5);
    } else if (name.compare(QStringLiteral("B6"), Qt::CaseInsensitive) == 0) {
        size = QPageSize(QPageSize::JisB6);
    } else {
        return false;
    }
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
        if (!ok || values[i] < 0 || values[i] > 100) return false;
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
                error = QStringLiteral("unknown page size %1 (A4, A5 or B6)").arg(arguments[i]);
                return false;
            }
        } else if (argument == QStringLiteral("--margins") && hasValue) {
            if (!ReadMargins(arguments[++i], margins)) {
                error =
                    QStringLiteral("margins must be four millimetre values top,right,bottom,left");
                return false;
            }
        } else if (argument == QStringLiteral("--page-numbers") && hasValue) {
            options.pageNumbers = arguments[++i];
        } else if (argument == QStringLiteral("--number-font") && hasValue) {
            options.numberFont = arguments[++i];
        } else if (argument.startsWith(QStringLiteral("--"))) {
            error = QStringLiteral("unknown option %1").arg(argument);
            return false;
        } else {
            files.append(argument);
        }
    }
    if (files.size() != 2) {
        error = QStringLiteral(
            "usage: quirtle-print [--page-size A4|A5|B6] [--margins T,R,B,L] "
            "[--page-numbers NUMBERS.pdf] [--number-font FAMILY] INPUT.xhtml OUTPUT.pdf");
        return false;
    }
    options.input = files[0];
    options.output = files[1];
    options.layout = QPageLayout(size, QPageLayout::Portrait, margins, QPageLayout::Millimeter);
    return true;
}

}  // namespace quirtle
