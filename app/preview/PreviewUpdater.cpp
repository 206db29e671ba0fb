#include "preview/PreviewUpdater.h"

#include <QMetaObject>
#include <algorithm>
#include <utility>

#include "preview/FragmentFile.h"
#include "preview/LatestJobThread.h"
#include "preview/PreviewPane.h"

namespace quirtle {

PreviewUpdater::PreviewUpdater(PreviewPane& pane, std::function<bool()> isBusy,
                               std::function<QString()> currentText, QObject* parent)
    : QObject(parent),
      pane(pane),
      isBusy(std::move(isBusy)),
      currentText(std::move(currentText)),
      converter(&ConvertForPreview),
      fragmentFile(std::make_unique<FragmentFile>()),
      thread(std::make_unique<LatestJobThread>()) {}

PreviewUpdater::~PreviewUpdater() {
    // A preview still being made ends before the folder it writes to goes; its result,
    // posted to this object, goes with it.
    thread.reset();
    fragmentFile.reset();
    lifeToken.reset();
}

std::uint64_t PreviewUpdater::Start(QString text, bool withCounts) {
    const std::uint64_t number = ++asked;
    const FragmentFile* file = ThroughFile() ? fragmentFile.get() : nullptr;
    // The job holds its own copies: the text (shared, never changed) and the converter.
    auto job = [this, number, text = std::move(text), converter = converter, file, withCounts] {
        PreviewOutcome outcome = MakePreview(number, text, converter, file, withCounts);
        QMetaObject::invokeMethod(
            this, [this, outcome = std::move(outcome)]() mutable { Made(std::move(outcome)); },
            Qt::QueuedConnection);
    };
    // Without a thread to spare the preview is made here, as it is handed on anyway.
    if (!thread->Submit(job)) job();
    return number;
}

void PreviewUpdater::ShowHeld() {
    if (!held) return;
    PreviewOutcome outcome = std::move(*held);
    held.reset();
    Show(std::move(outcome));
}

bool PreviewUpdater::InProgress() const {
    return settled < asked;
}

QString PreviewUpdater::Folder() const {
    return fragmentFile && fragmentFile->IsValid() ? fragmentFile->FolderPath() : QString();
}

bool PreviewUpdater::ThroughFile() const {
    return fileWorks && fragmentFile && fragmentFile->IsValid();
}

void PreviewUpdater::SetConverter(PreviewConverter newConverter) {
    converter = std::move(newConverter);
}

void PreviewUpdater::Made(PreviewOutcome outcome) {
    if (outcome.counts) emit CountsMade(outcome.number, *outcome.counts);
    // A newer preview is on its way: the page waits for that one.
    if (outcome.number != asked || outcome.kind == PreviewOutcome::Kind::Failed) {
        settled = std::max(settled, outcome.number);
        return;
    }
    if (isBusy()) {
        held = std::move(outcome);
        return;
    }
    Show(std::move(outcome));
}

void PreviewUpdater::Show(PreviewOutcome outcome) {
    if (outcome.number != asked) {
        settled = std::max(settled, outcome.number);
        return;
    }
    const std::uint64_t number = outcome.number;
    auto done = [this, number,
                 alive = std::weak_ptr<int>(lifeToken)](PreviewPane::ContentsResult result) {
        if (alive.expired()) return;
        Shown(number, result == PreviewPane::ContentsResult::FetchFailed);
    };
    if (outcome.kind == PreviewOutcome::Kind::File) {
        pane.FetchContents(fragmentFile->Url(), number, std::move(done));
    } else {
        pane.RunContentsScript(outcome.script, std::move(done));
    }
}

void PreviewUpdater::Shown(std::uint64_t number, bool fetchFailed) {
    if (fetchFailed) {
        // The page cannot read the file: from now on every preview carries its fragment in
        // its script, and this one is made again that way unless a newer one is coming.
        fileWorks = false;
        if (number == asked) Start(currentText(), false);
        return;
    }
    settled = std::max(settled, number);
    emit Updated();
}

}  // namespace quirtle
