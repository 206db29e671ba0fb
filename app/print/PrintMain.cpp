// quirtle-print: prints local XHTML pages to PDF files with the web engine the editor's
// preview uses, off-screen and without a window, several at a time when asked; or draws a
// sheet of page furniture (BookSheet.h). Used by the PDF export script.
#include <unistd.h>

#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "print/BookSheet.h"
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

int DrawSheet(const quirtle::PrintOptions& options) {
    QFile file(options.sheet);
    if (!file.open(QIODevice::ReadOnly)) {
        Report(QStringLiteral("%1: cannot read: %2").arg(options.sheet, file.errorString()));
        return 1;
    }
    QString error;
    const QByteArray pdf = quirtle::BookSheet(file.readAll(), error);
    if (pdf.isEmpty()) {
        Report(QStringLiteral("%1: %2").arg(options.sheet, error));
        return 1;
    }
    if (!WriteWhole(options.sheetOutput, pdf, error)) {
        Report(error);
        return 1;
    }
    return 0;
}

// Prints the jobs with `jobs` printers at once, each taking the next job when it has
// finished one: a printer keeps its renderer process, which need not start again. The
// first failure ends the run.
class PrintQueue {
  public:
    explicit PrintQueue(const quirtle::PrintOptions& options) : options(options) {}

    void Start() {
        const qsizetype count = std::min<qsizetype>(options.jobs, options.pages.size());
        for (qsizetype i = 0; i < count; ++i) {
            auto printer = std::make_unique<quirtle::PdfPrinter>();
            quirtle::PdfPrinter* raw = printer.get();
            printers.push_back(std::move(printer));
            QObject::connect(raw, &quirtle::PdfPrinter::finished,
                             [this, raw](const QByteArray& pdf, const QString& failure) {
                                 Finished(raw, pdf, failure);
                             });
            Next(raw);
        }
        if (running == 0) QCoreApplication::exit(status);
    }

  private:
    void Next(quirtle::PdfPrinter* printer) {
        if (status != 0 || next >= options.pages.size()) return;
        outputs[printer] = options.pages[next].output;
        ++running;
        // Started from the event loop: a printer's signal handler must have returned.
        const QString input = options.pages[next++].input;
        QMetaObject::invokeMethod(
            printer, [this, printer, input] { printer->Print(input, options.layout, 300); },
            Qt::QueuedConnection);
    }

    void Finished(quirtle::PdfPrinter* printer, const QByteArray& pdf, const QString& failure) {
        QString error = failure;
        if (error.isEmpty()) WriteWhole(outputs[printer], pdf, error);
        if (!error.isEmpty() && status == 0) {
            Report(error);
            status = 1;
        }
        --running;
        Next(printer);
        if (running == 0) QCoreApplication::exit(status);
    }

    const quirtle::PrintOptions& options;
    std::vector<std::unique_ptr<quirtle::PdfPrinter>> printers;
    std::map<quirtle::PdfPrinter*, QString> outputs;
    qsizetype next = 0;
    int running = 0;
    int status = 0;
};

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
    if (!options.sheet.isEmpty()) return DrawSheet(options);

    PrintQueue queue(options);
    QMetaObject::invokeMethod(
        &application, [&queue] { queue.Start(); }, Qt::QueuedConnection);
    return QGuiApplication::exec();
}
