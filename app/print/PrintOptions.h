#pragma once

#include <QPageLayout>
#include <QString>
#include <QStringList>

namespace quirtle {

// What quirtle-print was asked to do, read from its command line.
struct PrintOptions {
    QString input;        // the XHTML (or HTML) file to print
    QString output;       // the PDF to write
    QString pageNumbers;  // when set: a PDF of page numbers, one page per printed page
    QPageLayout layout;
    QString numberFont = QStringLiteral("serif");
};

// Reads the arguments after the program name. On failure returns false and sets `error`
// to one line naming the problem.
bool ParsePrintOptions(const QStringList& arguments, PrintOptions& options, QString& error);

}  // namespace quirtle
