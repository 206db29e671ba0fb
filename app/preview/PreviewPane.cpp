#include "preview/PreviewPane.h"

#include <QEventLoop>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineSettings>

#include "platform/Desktop.h"
#include "preview/PreviewScript.h"

namespace quirtle {

namespace {

// Catches the first navigation of a window the page asked for and hands it to the
// system's browser.
class ExternalWindowPage : public QWebEnginePage {
  public:
    ExternalWindowPage(Desktop& desktop, QObject* parent)
        : QWebEnginePage(parent), desktop(desktop) {}

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
        if (!url.isEmpty() && url.scheme() != QStringLiteral("about")) desktop.OpenUrl(url);
        deleteLater();
        return false;
    }

  private:
    Desktop& desktop;
};

}  // namespace

QWebEnginePage* PreviewPage::createWindow(WebWindowType) {
    return new ExternalWindowPage(desktop, this);
}

PreviewPane::PreviewPane(Desktop& desktop, QWidget* parent)
    : QWebEngineView(parent), previewPage(new PreviewPage(desktop, this)) {
    setPage(previewPage);
    // The page reads each preview from a file in the program's temporary folder.
    previewPage->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    connect(this, &QWebEngineView::loadStarted, this, [this] { pageLoaded = false; });
    connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) {
        pageLoaded = true;
        emit PageLoaded(ok);
    });
}

void PreviewPane::ShowPage(const QString& pagePath) {
    const QUrl url = QUrl::fromLocalFile(pagePath);
    previewPage->SetOwnFile(url);
    pageLoaded = false;
    load(url);
}

bool PreviewPane::WaitForPreviewPage(int timeoutMs) {
    if (pageLoaded) return true;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &PreviewPane::PageLoaded, &loop, &QEventLoop::quit);
    limit.start(timeoutMs);
    loop.exec();
    return pageLoaded;
}

void PreviewPane::SetContents(const QString& html) {
    RunContentsScript(ContentsAssignmentScript(html));
}

void PreviewPane::RunContentsScript(const QString& script, ContentsDone done) {
    // The program's own world: the page's scripts and its content rules do not reach it.
    if (!done) {
        previewPage->runJavaScript(script, QWebEngineScript::ApplicationWorld);
        return;
    }
    previewPage->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                               [done = std::move(done)](const QVariant& answer) {
                                   const QString text = answer.toString();
                                   if (text == QLatin1String(kContentsDone)) {
                                       done(ContentsResult::Replaced);
                                   } else if (text == QLatin1String(kContentsFetchFailed)) {
                                       done(ContentsResult::FetchFailed);
                                   } else {
                                       done(ContentsResult::NoElement);
                                   }
                               });
}

void PreviewPane::FetchContents(const QUrl& fragmentFile, quint64 number, ContentsDone done) {
    RunContentsScript(ContentsFetchScript(fragmentFile, number), std::move(done));
}

}  // namespace quirtle
