#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "counts/TextCounts.h"
#include "preview/PreviewConversion.h"
#include "preview/PreviewJob.h"

namespace quirtle {

class FragmentFile;
class LatestJobThread;
class PreviewPane;

// Makes previews of the editor's text on a thread of its own and hands each to the preview
// pane, the newest one winning: an older preview never replaces a newer one. The fragment
// reaches the page through a file in a private folder, or in the page's script when there is
// no such file or the page cannot read it. It never reaches into the window: `isBusy` says
// whether the page may change now (a preview made meanwhile waits for ShowHeld), and
// `currentText` gives the text when a preview has to be made again.
class PreviewUpdater : public QObject {
    Q_OBJECT
  public:
    PreviewUpdater(PreviewPane& pane, std::function<bool()> isBusy,
                   std::function<QString()> currentText, QObject* parent = nullptr);
    ~PreviewUpdater() override;

    // Starts a preview of `text` and returns its number; with `withCounts` the counts of the
    // same text come back through CountsMade.
    std::uint64_t Start(QString text, bool withCounts);
    // Shows the preview that was made while the window was busy, if there is one.
    void ShowHeld();
    // True from Start until the page has the newest preview (or it failed).
    bool InProgress() const;
    // The private folder through which previews reach the page (empty when there is none).
    QString Folder() const;
    // True while previews go to the page through a file.
    bool ThroughFile() const;
    // The converter the thread runs (tests replace it).
    void SetConverter(PreviewConverter newConverter);

  signals:
    // The page has taken a preview: its element "contents" holds it, or the page has no
    // such element and was left alone.
    void Updated();
    // The counts of the text of preview `number`.
    void CountsMade(std::uint64_t number, const counts::TextCounts& counts);

  private:
    // On the UI thread, when the thread has made a preview.
    void Made(PreviewOutcome outcome);
    void Show(PreviewOutcome outcome);
    void Shown(std::uint64_t number, bool fetchFailed);

    PreviewPane& pane;
    std::function<bool()> isBusy;
    std::function<QString()> currentText;
    PreviewConverter converter;
    std::unique_ptr<FragmentFile> fragmentFile;
    std::unique_ptr<LatestJobThread> thread;
    std::uint64_t asked = 0;    // the newest preview asked for
    std::uint64_t settled = 0;  // the newest made and shown, failed or dropped
    std::optional<PreviewOutcome> held;
    bool fileWorks = true;
    // Answers from the page check this before touching the updater, which may be gone.
    std::shared_ptr<int> lifeToken = std::make_shared<int>(0);
};

}  // namespace quirtle
