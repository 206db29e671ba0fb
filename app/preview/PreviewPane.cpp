#include "preview/PreviewPane.h"

#include <QChildEvent>
#include <QEventLoop>
#include <QFile>
#include <QMouseEvent>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
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
    // The program's script that takes the previews, in its own world, in every load.
    QFile source(QStringLiteral(":/preview/PreviewPage.js"));
    if (source.open(QIODevice::ReadOnly)) {
        QWebEngineScript script;
        script.setName(QStringLiteral("quirtle-preview"));
        pageScript = QString::fromUtf8(source.readAll());
        script.setSourceCode(pageScript);
        script.setInjectionPoint(QWebEngineScript::DocumentCreation);
        script.setWorldId(QWebEngineScript::ApplicationWorld);
        script.setRunsOnSubFrames(false);
        previewPage->scripts().insert(script);
    }
    connect(this, &QWebEngineView::loadStarted, this, [this] { pageLoaded = false; });
    connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) {
        pageLoaded = true;
        emit PageLoaded(ok);
        if (recovering) {
            recovering = false;
            emit Recovered();
        }
    });
    // A render process that ended takes the page with it: load it again, which starts a
    // new one. The program's previews follow once it has loaded.
    connect(previewPage, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus, int) {
                if (pageUrl.isEmpty()) return;
                pageLoaded = false;
                recovering = true;
                emit RenderProcessEnded();
                QTimer::singleShot(0, this, [this] { load(pageUrl); });
            });
    for (QObject* child : children()) WatchChild(child);
}

void PreviewPane::WatchChild(QObject* child) {
    if (child->isWidgetType()) child->installEventFilter(this);
}

bool PreviewPane::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPointF at = mouse->position() / zoomFactor();
        RunScript(BlockAtScript(at.x(), at.y()), [this](const QVariant& answer) {
            bool ok = false;
            const int index = answer.toInt(&ok);
            if (ok && index >= 0) emit BlockDoubleClicked(index);
        });
    }
    return QWebEngineView::eventFilter(watched, event);
}

bool PreviewPane::event(QEvent* event) {
    // The view draws through a child widget that it makes (again after a new render
    // process); double-clicks reach that child.
    if (event->type() == QEvent::ChildAdded) WatchChild(static_cast<QChildEvent*>(event)->child());
    return QWebEngineView::event(event);
}

QString PreviewPane::WithPageScript(const QString& script) const {
    // The page script is put into every load before the page's own scripts run, but a
    // world that was not there yet at that point may miss it: each script of the program
    // brings it along (it does nothing when it is there already).
    return pageScript + QLatin1Char('\n') + script;
}

void PreviewPane::RunScript(const QString& script, std::function<void(const QVariant&)> done) {
    if (!done) {
        previewPage->runJavaScript(WithPageScript(script), QWebEngineScript::ApplicationWorld);
        return;
    }
    previewPage->runJavaScript(WithPageScript(script), QWebEngineScript::ApplicationWorld,
                               std::move(done));
}

qint64 PreviewPane::RenderProcessId() const {
    return previewPage->renderProcessPid();
}

void PreviewPane::ShowPage(const QString& pagePath) {
    const QUrl url = QUrl::fromLocalFile(pagePath);
    pageUrl = url;
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
        previewPage->runJavaScript(WithPageScript(script), QWebEngineScript::ApplicationWorld);
        return;
    }
    previewPage->runJavaScript(WithPageScript(script), QWebEngineScript::ApplicationWorld,
                               [done = std::move(done)](const QVariant& answer) {
                                   const QString text = answer.toString();
                                   if (text == QLatin1String(kContentsDone)) {
                                       done(ContentsResult::Replaced);
                                   } else if (text == QLatin1String(kContentsFetchFailed)) {
                                       done(ContentsResult::FetchFailed);
                                   } else if (text == QLatin1String(kContentsStale)) {
                                       done(ContentsResult::Stale);
                                   } else {
                                       done(ContentsResult::NoElement);
                                   }
                               });
}

void PreviewPane::FetchContents(const QUrl& fragmentFile, quint64 number, ContentsDone done) {
    RunContentsScript(ContentsFetchScript(fragmentFile, number), std::move(done));
}

}  // namespace quirtle
