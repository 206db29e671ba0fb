#include "preview/PreviewUpdater.h"

#include <QMetaObject>
#include <algorithm>
#include <utility>

#include "preview/FragmentFile.h"
#include "preview/LatestJobThread.h"
#include "preview/PreviewPane.h"
#include "preview/PreviewScript.h"

namespace quirtle {

namespace {

// Blocks up to this many UTF-16 units travel in the script itself; more go through the
// file, which the page reads far faster than it compiles a script that long.
constexpr qsizetype kInlineLimit = 256 * 1024;

const std::shared_ptr<const PreviewDocument>& EmptyDocument() {
    static const auto empty = std::make_shared<const PreviewDocument>();
    return empty;
}

}  // namespace

PreviewUpdater::PreviewUpdater(PreviewPane& pane, std::function<bool()> isBusy,
                               std::function<QString()> currentText, QObject* parent)
    : QObject(parent),
      pane(pane),
      isBusy(std::move(isBusy)),
      currentText(std::move(currentText)),
      converter(&ConvertForPreviewWithLines),
      fragmentFile(std::make_unique<FragmentFile>()),
      thread(std::make_unique<LatestJobThread>()),
      shown(EmptyDocument()) {
    connect(&pane, &PreviewPane::PageLoaded, this, [this] { PageLoaded(); });
    connect(&pane, &PreviewPane::Recovered, this, [this] {
        emit Recovered();
        // The text as it is now, at once: the page has nothing to show until then.
        held.reset();
        Start(this->currentText(), false);
    });
    connect(&pane, &PreviewPane::BlockDoubleClicked, this, [this](int index) {
        if (index >= 0 && static_cast<std::size_t>(index) < shown->blocks.size())
            emit LineChosen(static_cast<int>(shown->blocks[index].line));
    });
}

PreviewUpdater::~PreviewUpdater() {
    // A preview still being made ends before the folder it writes to goes; its result,
    // posted to this object, goes with it.
    thread.reset();
    fragmentFile.reset();
    lifeToken.reset();
}

std::uint64_t PreviewUpdater::Start(QString text, bool withCounts) {
    const std::uint64_t number = ++asked;
    // The job holds its own copies: the text (shared, never changed) and the converter.
    auto job = [this, number, text = std::move(text), converter = converter, withCounts] {
        PreviewOutcome outcome = MakePreview(number, text, converter, withCounts);
        QMetaObject::invokeMethod(
            this, [this, outcome = std::move(outcome)]() mutable { Made(std::move(outcome)); },
            Qt::QueuedConnection);
    };
    // Without a thread to spare the preview is made here, as it is handed on anyway.
    if (!thread->Submit(job)) job();
    return number;
}

void PreviewUpdater::ShowHeld() {
    if (!held || isBusy() || !pane.IsPageLoaded()) return;
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
    using Plain = std::optional<std::string> (*)(const std::string&);
    // The preview's own converter is the one that tells lines.
    if (const Plain* plain = newConverter.target<Plain>(); plain && *plain == &ConvertForPreview) {
        converter = &ConvertForPreviewWithLines;
        return;
    }
    converter = WithoutLines(std::move(newConverter));
}

QString PreviewUpdater::RecoveredMessage() {
    return QStringLiteral("プレビューの表示が止まったため、ページを読み込み直しました");
}

QString PreviewUpdater::TooLargeNotice() {
    return QStringLiteral(
        "原稿が大きすぎるため、プレビューを表示できません。編集・保存・エクスポートはそのまま"
        "使えます。");
}

void PreviewUpdater::FollowLine(int line) {
    followLine = line;
    Reveal(true);
}

void PreviewUpdater::Reveal(bool smooth) {
    if (followLine < 0 || pageGeneration == 0 || shown->blocks.empty()) return;
    pane.RunScript(
        RevealScript(shown->BlockOfLine(static_cast<std::uint32_t>(followLine)), smooth));
}

void PreviewUpdater::Made(PreviewOutcome outcome) {
    if (outcome.counts) emit CountsMade(outcome.number, *outcome.counts);
    // A newer preview is on its way: the page waits for that one.
    if (outcome.number != asked || !outcome.document) {
        Settle(outcome.number);
        return;
    }
    if (isBusy() || !pane.IsPageLoaded()) {
        held = std::move(outcome);
        return;
    }
    Show(std::move(outcome));
}

void PreviewUpdater::Show(PreviewOutcome outcome) {
    if (outcome.number != asked || !outcome.document) {
        Settle(outcome.number);
        return;
    }
    Send(std::move(outcome.document), outcome.number);
}

void PreviewUpdater::Settle(std::uint64_t number) {
    settled = std::max(settled, number);
}

void PreviewUpdater::Send(std::shared_ptr<const PreviewDocument> document, std::uint64_t number) {
    auto done = [this, number, document,
                 alive = std::weak_ptr<int>(lifeToken)](PreviewPane::ContentsResult result) {
        if (alive.expired()) return;
        Shown(number, static_cast<int>(result), document);
    };
    if (document->html.size() > largestFragment) {
        pageGeneration = 0;
        shown = EmptyDocument();
        pane.RunContentsScript(NoticeScript(TooLargeNotice()), std::move(done));
        return;
    }
    const std::uint64_t base = pageGeneration;
    const PreviewPatch patch =
        base != 0 ? MakePatch(*shown, *document) : PreviewPatch{0, 0, document->blocks.size()};
    if (base != 0 && patch.Empty()) {
        // The same blocks; only the lines they begin on may have moved.
        shown = std::move(document);
        Settle(number);
        Reveal(false);
        emit Updated();
        return;
    }
    PatchBlocks blocks;
    QString lengths = QStringLiteral("[");
    qsizetype textBegin = 0;
    qsizetype textEnd = 0;
    for (std::size_t i = patch.start; i < patch.start + patch.inserted; ++i) {
        const PreviewBlock& block = document->blocks[i];
        blocks.kinds += block.kind == PreviewBlock::Kind::Leaf   ? u'L'
                        : block.kind == PreviewBlock::Kind::Open ? u'O'
                                                                 : u'C';
        if (i != patch.start) lengths += u',';
        lengths += QString::number(block.length);
        if (i == patch.start) textBegin = block.begin;
        textEnd = block.begin + block.length;
    }
    lengths += u']';
    blocks.lengths = std::move(lengths);
    blocks.text = QStringView(document->html).mid(textBegin, textEnd - textBegin);

    const std::uint64_t next = ++lastGeneration;
    QString script;
    if (blocks.text.size() > kInlineLimit && ThroughFile() &&
        fragmentFile->Write(blocks.text.toUtf8().toStdString())) {
        script = PatchFromFileScript(base, next, patch.start, patch.removed, blocks,
                                     fragmentFile->Url());
    } else {
        script = PatchScript(base, next, patch.start, patch.removed, blocks);
    }
    // The page takes the patches in the order they are sent: the next one is made against
    // this one's blocks.
    shown = document;
    pageGeneration = next;
    pane.RunContentsScript(script, std::move(done));
}

void PreviewUpdater::Shown(std::uint64_t number, int result,
                           std::shared_ptr<const PreviewDocument> document) {
    switch (static_cast<PreviewPane::ContentsResult>(result)) {
        case PreviewPane::ContentsResult::Replaced:
            Settle(number);
            Reveal(false);
            emit Updated();
            return;
        case PreviewPane::ContentsResult::NoElement:
            pageGeneration = 0;
            shown = EmptyDocument();
            Settle(number);
            emit Updated();
            return;
        case PreviewPane::ContentsResult::FetchFailed:
            // The page cannot read the file: from now on every preview carries its blocks
            // in its script, and this one is sent again that way unless a newer one is
            // coming.
            fileWorks = false;
            [[fallthrough]];
        case PreviewPane::ContentsResult::Stale:
            // The page has other blocks than were thought: it gets this preview whole.
            pageGeneration = 0;
            shown = EmptyDocument();
            if (number == asked) {
                Send(std::move(document), number);
            } else {
                Settle(number);
            }
            return;
    }
}

void PreviewUpdater::PageLoaded() {
    // A page loaded (again) holds none of the blocks sent before.
    pageGeneration = 0;
    shown = EmptyDocument();
    ShowHeld();
}

}  // namespace quirtle
