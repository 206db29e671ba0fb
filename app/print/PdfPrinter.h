#pragma once

#include <QByteArray>
#include <QObject>
#include <QPageLayout>
#include <QString>
#include <QTimer>

class QWebEnginePage;

namespace quirtle {

// Loads a local page into an off-screen web page and prints it to PDF bytes with the
// engine's own PDF printing. Emits finished() once per Print(), with the bytes or an error
// line; the next Print() may follow then, and reuses the page and its renderer process.
class PdfPrinter : public QObject {
    Q_OBJECT
  public:
    explicit PdfPrinter(QObject* parent = nullptr);
    ~PdfPrinter() override;

    void Print(const QString& path, const QPageLayout& layout, int timeoutSeconds);

    // The loaded page's title.
    QString Title() const;

  signals:
    void finished(const QByteArray& pdf, const QString& error);

  private:
    void Finish(const QByteArray& pdf, const QString& error);

    QWebEnginePage* page = nullptr;
    QTimer timeout;
    QPageLayout layout;
    QMetaObject::Connection loaded;
    bool done = false;
};

}  // namespace quirtle
