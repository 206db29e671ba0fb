#pragma once

#include <QWebEngineView>
#include <functional>

#include "preview/OwnFilePage.h"

namespace quirtle {

class Desktop;

// The browser page of the preview: navigation that would leave the preview page opens
// in the system's browser, and so does a window the page asks for.
class PreviewPage : public OwnFilePage {
    Q_OBJECT
  public:
    using OwnFilePage::OwnFilePage;

  protected:
    QWebEnginePage* createWindow(WebWindowType type) override;
};

// The right pane: shows "index.html" from the program's directory and puts each preview
// into the page's element "contents". The page is loaded once; only when its render
// process ends (a crash, the system taking its memory) is it loaded again, by itself.
// The program's own script in the page (PreviewPage.js) takes the previews block by block.
class PreviewPane : public QWebEngineView {
    Q_OBJECT
  public:
    PreviewPane(Desktop& desktop, QWidget* parent = nullptr);

    // Starts loading the page file.
    void ShowPage(const QString& pagePath);
    // Runs the event loop until the page has finished loading (or failed and shows the
    // browser's error page), at most timeoutMs. True when loading finished.
    bool WaitForPreviewPage(int timeoutMs = 10000);
    bool IsPageLoaded() const { return pageLoaded; }

    // What became of a fragment handed to the page.
    enum class ContentsResult {
        Replaced,     // the element "contents" holds it
        NoElement,    // the page has no element "contents" and was left alone
        FetchFailed,  // the page could not read the fragment file and was left alone
        Stale,        // the page shows other blocks than the patch was made for: untouched
    };
    using ContentsDone = std::function<void(ContentsResult)>;

    // Replaces the inner HTML of the element "contents" by the fragment; a page without
    // that element is left alone. The page keeps its scroll position.
    void SetContents(const QString& html);
    // Runs a script made by ContentsAssignmentScript (or its one-pass form) in the page;
    // `done`, when given, is called once the page has run it.
    void RunContentsScript(const QString& script, ContentsDone done = {});
    // Lets the page read the fragment file (UTF-8) into the element "contents"; `done` is
    // called once the page has done so. Far less work here than handing the page a script
    // that holds the whole fragment.
    void FetchContents(const QUrl& fragmentFile, quint64 number, ContentsDone done);

    // Runs a script of the program in the page; `done`, when given, gets what it evaluated to.
    void RunScript(const QString& script, std::function<void(const QVariant&)> done = {});
    // The page's render process (0 when there is none).
    qint64 RenderProcessId() const;

  signals:
    // The page has finished loading (ok is false for a failed load).
    void PageLoaded(bool ok);
    // The page's render process ended and the page is being loaded again.
    void RenderProcessEnded();
    // The page was loaded again after its render process ended.
    void Recovered();
    // A double-click in the page, on block `index` of the preview.
    void BlockDoubleClicked(int index);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void WatchChild(QObject* child);
    QString WithPageScript(const QString& script) const;

    PreviewPage* previewPage;
    QUrl pageUrl;
    QString pageScript;  // the program's own script in the page (PreviewPage.js)
    bool pageLoaded = false;
    bool recovering = false;
};

}  // namespace quirtle
