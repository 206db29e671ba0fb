#pragma once

#include <QUrl>
#include <QWebEnginePage>

namespace quirtle {

class Desktop;

// A browser page that shows one local file of the program. Once that file is set, a
// navigation that would leave it (a link, a form) opens in the system's browser instead;
// moving within the file (a fragment) and the program's own loads stay in the page.
class OwnFilePage : public QWebEnginePage {
    Q_OBJECT
  public:
    OwnFilePage(Desktop& desktop, QObject* parent);
    void SetOwnFile(const QUrl& url) { ownFile = url; }

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

    Desktop& desktop;

  private:
    QUrl ownFile;
};

}  // namespace quirtle
