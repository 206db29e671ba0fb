// The preview's own thread and what it hands to the page, without a page.
#include <QDir>
#include <QFile>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "preview/FragmentFile.h"
#include "preview/LatestJobThread.h"
#include "preview/PreviewBlocks.h"
#include "preview/PreviewJob.h"
#include "text/ShiftJis.h"
#include "text/Utf8ShiftJis.h"

using namespace quirtle;

namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

std::optional<std::string> Paragraph(const std::string& manuscript) {
    return "<p>" + manuscript + "</p>\r\n";
}

std::shared_ptr<const PreviewDocument> Document(const QString& manuscript) {
    return MakePreview(1, manuscript, &ConvertForPreviewWithLines).document;
}

// The texts and kinds of a document's blocks, one string per block.
QStringList Pieces(const PreviewDocument& document) {
    QStringList pieces;
    for (const PreviewBlock& block : document.blocks)
        pieces << QString::number(static_cast<int>(block.kind)) + document.Text(block).toString();
    return pieces;
}

// Whether blocks [from, from + count) open and close sections only within themselves.
bool Whole(const PreviewDocument& document, std::size_t from, std::size_t count) {
    int depth = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        const auto kind = document.blocks[i].kind;
        depth += (kind == PreviewBlock::Kind::Open) - (kind == PreviewBlock::Kind::Close);
        if (depth < 0) return false;
    }
    return depth == 0;
}

// A novel-like manuscript: chapters, paragraphs with ruby, a list, a division, a quotation.
QStringList NovelLines(int chapters) {
    QStringList lines{QStringLiteral(":title 猫")};
    for (int c = 0; c < chapters; ++c) {
        lines << QStringLiteral("** 第%1章").arg(c + 1);
        for (int p = 0; p < 12; ++p)
            lines << QStringLiteral("　_吾輩[わがはい]は猫である。%1の%2。").arg(c).arg(p);
        lines << QStringLiteral("- 一") << QStringLiteral("- 二") << QString();
        lines << QStringLiteral("|{letter} 拝啓") << QStringLiteral("> 「はい」") << QString();
    }
    return lines;
}

}  // namespace

class PreviewJobTest : public QObject {
    Q_OBJECT
  private slots:
    void NewestJobWinsAndJobsRunInOrder() {
        std::mutex mutex;
        std::vector<int> ran;
        std::atomic<bool> release = false;
        std::atomic<bool> firstStarted = false;
        {
            LatestJobThread thread;
            QVERIFY(!thread.IsBusy());
            // The first job blocks until released; meanwhile three more are handed in. (A job
            // that has not started yet is outdated by the next one just the same.)
            QVERIFY(thread.Submit([&] {
                firstStarted = true;
                while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                const std::lock_guard lock(mutex);
                ran.push_back(1);
            }));
            QTRY_VERIFY(firstStarted);
            for (int job = 2; job <= 4; ++job) {
                QVERIFY(thread.Submit([&, job] {
                    const std::lock_guard lock(mutex);
                    ran.push_back(job);
                }));
            }
            QVERIFY(thread.IsBusy());
            release = true;
            QTRY_VERIFY(!thread.IsBusy());
            {
                const std::lock_guard lock(mutex);
                QCOMPARE(ran, (std::vector<int>{1, 4}));
            }
            // The thread takes further jobs after it has been idle.
            QVERIFY(thread.Submit([&] {
                const std::lock_guard lock(mutex);
                ran.push_back(5);
            }));
            QTRY_VERIFY(!thread.IsBusy());
        }
        QCOMPARE(ran, (std::vector<int>{1, 4, 5}));
    }

    void EndingWaitsForTheRunningJobAndDropsTheWaitingOne() {
        std::atomic<int> finished = 0;
        std::atomic<bool> started = false;
        {
            LatestJobThread thread;
            thread.Submit([&] {
                started = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                ++finished;
            });
            QTRY_VERIFY(started);
            thread.Submit([&] { finished += 10; });
        }
        QCOMPARE(finished.load(), 1);
        LatestJobThread unused;  // never started: nothing to wait for
    }

    void FragmentFileIsReplacedWholeAndGoesWithItsOwner() {
        QString folder;
        {
            FragmentFile file;
            QVERIFY(file.IsValid());
            folder = file.FolderPath();
            QVERIFY(folder.startsWith(QDir::tempPath()));
            QCOMPARE(QFile::permissions(folder) & (QFile::ReadOther | QFile::ReadGroup),
                     QFile::Permissions());
            QCOMPARE(file.Url(), QUrl::fromLocalFile(folder + QStringLiteral("/contents.html")));
            QVERIFY(file.Write("<p>long first content</p>"));
            QVERIFY(file.Write("<p>2</p>"));
            QCOMPARE(ReadFile(folder + QStringLiteral("/contents.html")), QByteArray("<p>2</p>"));
            QVERIFY(file.Write(""));
            QCOMPARE(ReadFile(folder + QStringLiteral("/contents.html")), QByteArray());
            // Only the file itself is left, no part of a write.
            QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"contents.html"});

            // When the folder is gone, writing fails and says so.
            QVERIFY(QDir(folder).removeRecursively());
            QVERIFY(!file.Write("<p>3</p>"));
        }
        QVERIFY(!QDir(folder).exists());

        {
            FragmentFile file;
            folder = file.FolderPath();
            QVERIFY(file.Write("x"));
        }
        QVERIFY(!QDir(folder).exists());
    }

    void MakePreviewDecodesAndCutsTheFragmentOrSaysWhyNot() {
        // UTF-16, CR LF read as a line feed (as the page's parser reads it).
        PreviewOutcome outcome =
            MakePreview(7, QStringLiteral("ソ表\n\"x\""), WithoutLines(&Paragraph));
        QCOMPARE(outcome.number, std::uint64_t{7});
        QVERIFY(outcome.document);
        QVERIFY(!outcome.counts);
        QCOMPARE(outcome.document->html, QStringLiteral("<p>ソ表\n\"x\"</p>\n"));
        QCOMPARE(outcome.document->blocks.size(), std::size_t{1});

        // A failed conversion, or bytes that are not UTF-8: nothing for the page.
        outcome = MakePreview(8, QStringLiteral("other"),
                              WithoutLines([](const std::string&) { return std::nullopt; }));
        QVERIFY(!outcome.document);
        outcome = MakePreview(9, QStringLiteral("x"), WithoutLines([](const std::string&) {
                                  return std::optional<std::string>("\x83");
                              }));
        QVERIFY(!outcome.document);
    }

    void BlocksCoverTheFragmentAndLookIntoSections() {
        const QString manuscript = QStringLiteral(
            "前書き\n* 一\n本文\n** 二\n- a\n- b\n\n*** 三\n|{style} p{}\n"
            "*(c#d) 四\n:image(x) a.png\n_x\n");
        const auto document = Document(manuscript);
        QVERIFY(document);
        // One after the other, the blocks are the fragment, byte for byte.
        QString joined;
        for (const PreviewBlock& block : document->blocks) joined += document->Text(block);
        QCOMPARE(joined, document->html);
        QVERIFY(Whole(*document, 0, document->blocks.size()));
        // Sections are looked into: the paragraph, list and heading are blocks of their own,
        // each on the manuscript line it comes from.
        const QStringList pieces = Pieces(*document);
        auto lineOf = [&](const QString& piece) -> int {
            const auto at = pieces.indexOf(piece);
            return at < 0 ? -1 : static_cast<int>(document->blocks[at].line);
        };
        QCOMPARE(lineOf(QStringLiteral("0<p>前書き</p>\n")), 0);
        QCOMPARE(lineOf(QStringLiteral("1<div class=\"section_1\">")), 1);
        QCOMPARE(lineOf(QStringLiteral("0<p>本文</p>\n")), 2);
        QCOMPARE(lineOf(QStringLiteral("0<ul><li>a</li>\n<li>b</li>\n</ul>\n")), 4);
        QCOMPARE(lineOf(QStringLiteral("1<div class=\"c\" id=\"d\">")), 9);
        QCOMPARE(lineOf(QStringLiteral("0<pre class=\"incomplete\">_x</pre>\n")), 11);
        // The block that shows a line: the last leaf that begins on or before it.
        QCOMPARE(document->blocks[document->BlockOfLine(3)].line, 3u);
        QCOMPARE(document->blocks[document->BlockOfLine(6)].line, 4u);
        QCOMPARE(document->BlockOfLine(0), std::size_t{0});
        // Past the end: the last element, not the line break after the sections' ends.
        QCOMPARE(document->Text(document->blocks[document->BlockOfLine(100)]),
                 QStringLiteral("<pre class=\"incomplete\">_x</pre>\n"));
    }

    void PatchesTurnEachFragmentIntoTheNext() {
        const QStringList novel = NovelLines(6);
        // Edits at the start, in the middle and at the end; lines that come and go; a
        // section's depth changed, added, removed.
        struct Edit {
            const char* what;
            std::function<void(QStringList&)> apply;
            int largestRun;  // the most blocks a patch of this edit may bring
        };
        const int mid = static_cast<int>(novel.size()) / 2;
        const std::vector<Edit> edits = {
            {"a character at the start", [](QStringList& l) { l[0].prepend(u'a'); }, 1},
            {"a character in the middle", [&](QStringList& l) { l[mid + 1] += u'猫'; }, 1},
            {"a character at the end", [](QStringList& l) { l.back() += u'x'; }, 1},
            {"a new paragraph", [&](QStringList& l) { l.insert(mid, QStringLiteral("新")); }, 1},
            {"a paragraph gone", [&](QStringList& l) { l.removeAt(mid + 2); }, 0},
            {"an empty line", [&](QStringList& l) { l.insert(mid + 2, QString()); }, 0},
            {"a chapter made a part", [&](QStringList& l) { l[20] = QStringLiteral("* 部"); },
             100000},
            {"a new chapter", [&](QStringList& l) { l.insert(mid, QStringLiteral("** 新章")); },
             100000},
            {"a heading's text", [](QStringList& l) { l[1] += u'!'; }, 1},
            {"an unreadable line", [&](QStringList& l) { l.insert(mid, QStringLiteral("_x")); }, 1},
            {"everything gone", [](QStringList& l) { l.clear(); }, 0},
        };
        for (const Edit& edit : edits) {
            QStringList changed = novel;
            edit.apply(changed);
            const auto before = Document(novel.join(u'\n'));
            const auto after = Document(changed.join(u'\n'));
            QVERIFY(before && after);
            const PreviewPatch patch = MakePatch(*before, *after);
            const QStringList old = Pieces(*before);
            const QStringList next = Pieces(*after);
            const QStringList patched = old.mid(0, patch.start) +
                                        next.mid(patch.start, patch.inserted) +
                                        old.mid(patch.start + patch.removed);
            QVERIFY2(patched == next, edit.what);
            QVERIFY2(Whole(*before, patch.start, patch.removed), edit.what);
            QVERIFY2(Whole(*after, patch.start, patch.inserted), edit.what);
            QVERIFY2(static_cast<int>(patch.inserted) <= edit.largestRun,
                     qPrintable(QStringLiteral("%1: %2 blocks at %3 for %4")
                                    .arg(edit.what)
                                    .arg(patch.inserted)
                                    .arg(patch.start)
                                    .arg(patch.removed)));
            // A patch from nothing brings everything.
            const PreviewPatch whole = MakePatch(PreviewDocument(), *after);
            QCOMPARE(whole.inserted, after->blocks.size());
        }
    }

    void MakePreviewCountsTheSameText() {
        const QString text = QStringLiteral("* 見出し\n本文です。\n# メモ");
        const PreviewOutcome outcome = MakePreview(1, text, &ConvertForPreviewWithLines, true);
        QVERIFY(outcome.counts.has_value());
        QCOMPARE(*outcome.counts, *counts::CountManuscript(text::ToUtf8(text), TextEncoding::Utf8));
        QCOMPARE(outcome.counts->characters, std::size_t{8});
        // Counted even when the preview fails: the counts do not depend on the preview.
        const PreviewOutcome failed = MakePreview(
            2, text, WithoutLines([](const std::string&) { return std::nullopt; }), true);
        QVERIFY(!failed.document);
        QVERIFY(failed.counts.has_value());
    }
};

QTEST_GUILESS_MAIN(PreviewJobTest)
#include "PreviewJobTest.moc"
