#pragma once

#include <QList>
#include <QPageLayout>
#include <QString>
#include <QStringList>

namespace quirtle {

// One page to print: the XHTML (or HTML) file and the PDF to write.
struct PrintJob {
    QString input;
    QString output;
};

// What quirtle-print was asked to do, read from its command line: either print pages
// (one or more jobs, `jobs` of them at a time) or, with `sheet` set, draw a sheet of page
// furniture (see BookSheet.h) into the one output.
struct PrintOptions {
    QList<PrintJob> pages;
    int jobs = 1;
    QString sheet;        // a sheet description to draw instead of printing pages
    QString sheetOutput;  // the PDF the sheet is drawn into
    QPageLayout layout;
};

// Reads the arguments after the program name. On failure returns false and sets `error`
// to one line naming the problem.
bool ParsePrintOptions(const QStringList& arguments, PrintOptions& options, QString& error);

}  // namespace quirtle
