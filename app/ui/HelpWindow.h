#pragma once

#include <QWebEngineView>

#include "preview/OwnFilePage.h"

namespace quirtle {

class Desktop;

// The manual's own window: an HTML page beside the main window, not modal. Links inside
// the manual stay in the window; links that lead elsewhere open in the system's browser.
class HelpWindow : public QWebEngineView {
    Q_OBJECT
  public:
    HelpWindow(Desktop& desktop, QWidget* parent = nullptr);

    // Shows the manual file at its first page.
    void ShowManual(const QString& manualPath);
    // Places the window beside `mainWindow` on its screen: right of it where there is
    // room, otherwise left of it, otherwise over its right part.
    void PlaceBeside(const QWidget& mainWindow);

    const QUrl& ManualUrl() const { return manualUrl; }

  private:
    QUrl manualUrl;
};

// The page of the help window: navigation within the manual's file stays (a window the
// manual asks for too); everything else goes to the system's browser.
class HelpPage : public OwnFilePage {
    Q_OBJECT
  public:
    using OwnFilePage::OwnFilePage;

  protected:
    QWebEnginePage* createWindow(WebWindowType type) override;
};

}  // namespace quirtle
