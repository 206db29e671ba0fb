// quirtle-print: prints one local XHTML page to a PDF file with the web engine the editor's
// preview uses, off-screen and without a window. Used by the PDF export script.
#include <unistd.h>

#include <QGuiApplication>
#include <QPdfDocument>
#include <QSaveFile>
#include <cstdio>

#include "print/PageNumberSheet.h"
#include "print/PdfPrinter.h"
#include "print/PrintOptions.h"

namespace {

void Report(const QString& message) {
    std::fprintf(stderr, "quirtle-print: %s\n", message.toLocal8Bit().constData());
}

bool WriteWhole(const QString& path, const QByteArray& bytes, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = QStringLiteral("%1: cannot write: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

// Writes the printed PDF and, when asked, the sheet of page numbers for it.
int Save(const quirtle::PrintOptions& options, const QByteArray& pdf, const QString& title) {
    QString error;
    if (!WriteWhole(options.output, pdf, error)) {
        Report(error);
        return 1;
    }
    if (options.pageNumbers.isEmpty()) return 0;
    QPdfDocument document;
    if (document.load(options.output) != QPdfDocument::Error::None || document.pageCount() < 1) {
        Report(QStringLiteral("%1: the printed PDF cannot be read back").arg(options.output));
        return 1;
    }
    const QByteArray sheet =
        quirtle::PageNumberSheet(document.pageCount(), options.layout, options.numberFont, title);
    if (!WriteWhole(options.pageNumbers, sheet, error)) {
        Report(error);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Never a window: the page is laid out and printed off-screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The engine's sandbox cannot run as root; it stays on for everyone else.
    if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QGuiApplication application(argc, argv);

    quirtle::PrintOptions options;
    QString error;
    if (!quirtle::ParsePrintOptions(QCoreApplication::arguments().mid(1), options, error)) {
        Report(error);
        return 2;
    }

    int status = 1;
    quirtle::PdfPrinter printer;
    QObject::connect(&printer, &quirtle::PdfPrinter::finished,
                     [&](const QByteArray& pdf, const QString& failure) {
                         if (failure.isEmpty()) {
                             status = Save(options, pdf, printer.Title());
                         } else {
                             Report(failure);
                         }
                         QCoreApplication::exit(status);
                     });
    printer.Print(options.input, options.layout, 300);
    QGuiApplication::exec();
    return status;
}
