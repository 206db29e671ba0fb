#include "print/PdfPrinter.h"

#include <QFileInfo>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineSettings>

namespace quirtle {

PdfPrinter::PdfPrinter(QObject* parent) : QObject(parent), page(new QWebEnginePage(this)) {
    QWebEngineSettings* settings = page->settings();
    // A book page is a document: no scripts, and nothing fetched from the network.
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::PrintElementBackgrounds, true);
    timeout.setSingleShot(true);
    connect(&timeout, &QTimer::timeout, this,
            [this] { Finish({}, QStringLiteral("the page did not finish printing in time")); });
}

PdfPrinter::~PdfPrinter() = default;

void PdfPrinter::Print(const QString& path, const QPageLayout& pageLayout, int timeoutSeconds) {
    // A printer prints one page after another; each Print() ends in one finished().
    done = false;
    disconnect(loaded);
    const QFileInfo file(path);
    if (!file.isFile() || !file.isReadable()) {
        Finish({}, QStringLiteral("%1: cannot read the page").arg(path));
        return;
    }
    layout = pageLayout;
    loaded = connect(page, &QWebEnginePage::loadFinished, this, [this, path](bool ok) {
        if (done) return;
        if (!ok) {
            Finish({}, QStringLiteral("%1: the page could not be loaded").arg(path));
            return;
        }
        page->printToPdf(
            [this](const QByteArray& pdf) {
                if (pdf.isEmpty()) {
                    Finish({}, QStringLiteral("printing to PDF failed"));
                } else {
                    Finish(pdf, {});
                }
            },
            layout);
    });
    timeout.start(timeoutSeconds * 1000);
    page->load(QUrl::fromLocalFile(file.absoluteFilePath()));
}

QString PdfPrinter::Title() const {
    return page->title();
}

void PdfPrinter::Finish(const QByteArray& pdf, const QString& error) {
    if (done) return;
    done = true;
    timeout.stop();
    emit finished(pdf, error);
}

}  // namespace quirtle
