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
#include "preview/PreviewJob.h"
#include "text/ShiftJis.h"

using namespace quirtle;

namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

std::optional<std::string> Paragraph(const std::string& manuscript) {
    return "<p>" + manuscript + "</p>\r\n";
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

    void MakePreviewHandsTheFragmentOnOrSaysWhyNot() {
        FragmentFile file;
        const QString fragmentPath = file.FolderPath() + QStringLiteral("/contents.html");
        // Through the file: UTF-8, CR LF kept (the page's parser reads it as a line break).
        PreviewOutcome outcome = MakePreview(7, QStringLiteral("ソ表\n\"x\""), &Paragraph, &file);
        QCOMPARE(outcome.number, std::uint64_t{7});
        QCOMPARE(outcome.kind, PreviewOutcome::Kind::File);
        QVERIFY(outcome.script.isEmpty());
        QVERIFY(!outcome.counts);
        QCOMPARE(QString::fromUtf8(ReadFile(fragmentPath)),
                 QStringLiteral("<p>ソ表\r\n\"x\"</p>\r\n"));

        // A failed conversion: nothing handed on, the file keeps the last preview.
        outcome = MakePreview(
            8, QStringLiteral("other"), [](const std::string&) { return std::nullopt; }, &file);
        QCOMPARE(outcome.kind, PreviewOutcome::Kind::Failed);
        QCOMPARE(QString::fromUtf8(ReadFile(fragmentPath)),
                 QStringLiteral("<p>ソ表\r\n\"x\"</p>\r\n"));

        // A converter that returns bytes that are not Shift_JIS: nothing handed on.
        outcome = MakePreview(
            9, QStringLiteral("x"),
            [](const std::string&) { return std::optional<std::string>("\x83"); }, &file);
        QCOMPARE(outcome.kind, PreviewOutcome::Kind::Failed);

        // No file, or one that cannot be written: the script carries the fragment.
        for (const FragmentFile* target :
             std::initializer_list<const FragmentFile*>{nullptr, &file}) {
            if (target) QVERIFY(QDir(file.FolderPath()).removeRecursively());
            outcome = MakePreview(10, QStringLiteral("本文"), &Paragraph, target);
            QCOMPARE(outcome.kind, PreviewOutcome::Kind::Script);
            QVERIFY(outcome.script.contains(QStringLiteral("getElementById(\"contents\")")));
            QVERIFY(outcome.script.contains(QStringLiteral("<p>本文</p>\\n")));
        }
    }

    void MakePreviewCountsTheSameText() {
        const QString text = QStringLiteral("* 見出し\n本文です。\n# メモ");
        const PreviewOutcome outcome = MakePreview(1, text, &ConvertForPreview, nullptr, true);
        QVERIFY(outcome.counts.has_value());
        QCOMPARE(*outcome.counts, *counts::CountManuscript(text::EncodeShiftJis(text).bytes));
        QCOMPARE(outcome.counts->characters, std::size_t{8});
        // Counted even when the preview fails: the counts do not depend on the preview.
        const PreviewOutcome failed = MakePreview(
            2, text, [](const std::string&) { return std::nullopt; }, nullptr, true);
        QCOMPARE(failed.kind, PreviewOutcome::Kind::Failed);
        QVERIFY(failed.counts.has_value());
    }
};

QTEST_GUILESS_MAIN(PreviewJobTest)
#include "PreviewJobTest.moc"
