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
// pane, the newest one winning: an older preview never replaces a newer one. The page gets
// only the blocks that changed since the preview it shows (PreviewBlocks.h): small changes
// travel in the page's script, large ones through a file in a private folder (or in the
// script when there is no such file or the page cannot read it). It never reaches into the
// window: `isBusy` says whether the page may change now (a preview made meanwhile waits for
// ShowHeld), and `currentText` gives the text when a preview has to be made again. When
// the page's render process ends and the page has been loaded again, the current text is
// shown again by itself.
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
    // True while large previews go to the page through a file.
    bool ThroughFile() const;
    // The converter the thread runs (tests replace it); it tells no lines.
    void SetConverter(PreviewConverter newConverter);

    // Keeps the block that shows manuscript line `line` (0 for the first) in view: the
    // page scrolls to it, smoothly, when none of it is in view, now and after each preview.
    void FollowLine(int line);

    // The largest fragment the page is given, in UTF-16 units: a larger one shows a notice
    // instead, and the editor goes on as always.
    static constexpr qsizetype kLargestFragment = 24 * 1024 * 1024;
    void SetLargestFragment(qsizetype units) { largestFragment = units; }
    // The text of that notice.
    static QString TooLargeNotice();
    // What the status bar says when the page was loaded again after its render process ended.
    static QString RecoveredMessage();

    // The preview the page shows, as far as the program knows (tests look at its blocks).
    const PreviewDocument& Shown() const { return *shown; }

  signals:
    // The page has taken a preview: its element "contents" holds it, or the page has no
    // such element and was left alone.
    void Updated();
    // The counts of the text of preview `number`.
    void CountsMade(std::uint64_t number, const counts::TextCounts& counts);
    // The author double-clicked the block that begins on manuscript line `line`.
    void LineChosen(int line);
    // The page's render process ended; the page was loaded again and shows the text again.
    void Recovered();

  private:
    // On the UI thread, when the thread has made a preview.
    void Made(PreviewOutcome outcome);
    void Show(PreviewOutcome outcome);
    void Send(std::shared_ptr<const PreviewDocument> document, std::uint64_t number);
    void Shown(std::uint64_t number, int result, std::shared_ptr<const PreviewDocument> document);
    void Settle(std::uint64_t number);
    void PageLoaded();
    void Reveal(bool smooth);

    PreviewPane& pane;
    std::function<bool()> isBusy;
    std::function<QString()> currentText;
    PreviewLinesConverter converter;
    std::unique_ptr<FragmentFile> fragmentFile;
    std::unique_ptr<LatestJobThread> thread;
    std::uint64_t asked = 0;    // the newest preview asked for
    std::uint64_t settled = 0;  // the newest made and shown, failed or dropped
    std::optional<PreviewOutcome> held;
    bool fileWorks = true;
    // The blocks the page shows once the patches sent so far are in, and the number that
    // names them in the page (0: the page's blocks are not known; the next goes whole).
    std::shared_ptr<const PreviewDocument> shown;
    std::uint64_t pageGeneration = 0;
    std::uint64_t lastGeneration = 0;
    qsizetype largestFragment = kLargestFragment;
    int followLine = -1;
    // Answers from the page check this before touching the updater, which may be gone.
    std::shared_ptr<int> lifeToken = std::make_shared<int>(0);
};

}  // namespace quirtle
