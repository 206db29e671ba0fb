// Recovery copies on disk: written in the background, locked per program, offered once at
// the next start, kept for a week when declined.
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <ctime>
#include <optional>

#include "platform/TerminationSignals.h"
#include "recovery/RecoveryManager.h"
#include "recovery/RecoveryStore.h"
#include "recovery/RecoveryWriter.h"
#include "support/PlainTextEditor.h"
#include "support/ScriptedPrompts.h"

using namespace quirtle;
using namespace quirtle::testing;
using recovery::FoundCopy;
using recovery::RecoveryStore;

namespace {

QByteArray ReadFile(const QByteArray& path) {
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
    return file.readAll();
}

bool Exists(const QByteArray& path) {
    struct stat info {};
    return ::stat(path.constData(), &info) == 0;
}

// Text no Shift_JIS file can hold, a NUL and both kinds of line break the editor may
// give included.
QString AwkwardText() {
    return QString::fromUtf16(u"第一章 𠮷野家で🍣を\n\u0000鷗外・髙橋・①\n\nＡ&<>\"'\n") +
           QString(3000, QChar(u'字'));
}

// A copy left behind by a program that ended: written, and its lock released without
// the normal end.
void LeaveCopy(const QByteArray& folder, const QString& text, const QByteArray& path) {
    RecoveryStore store(folder);
    QCOMPARE(store.Open(), 0);
    const QByteArray utf8 = text.toUtf8();
    QCOMPARE(store.Write(std::string_view(utf8.constData(), size_t(utf8.size())), path), 0);
}

struct Fixture {
    QTemporaryDir root;
    QByteArray folder = QFile::encodeName(root.filePath("state/quirtle"));
    PlainTextEditor editor;
    QString documentPath;
    ScriptedPrompts prompts;
    std::optional<RecoveryManager> manager;

    RecoveryManager& Start() {
        manager.emplace(folder, editor, [this] { return documentPath; });
        if (!manager->Start()) qFatal("the recovery folder cannot be used");
        manager->SetDelays(20, 200);
        QObject::connect(&editor.widget, &QPlainTextEdit::textChanged, &*manager,
                         &RecoveryManager::NoteTextChanged);
        QObject::connect(editor.widget.document(), &QTextDocument::modificationChanged, &*manager,
                         &RecoveryManager::NoteModifiedChanged);
        return *manager;
    }
};

}  // namespace

class RecoveryTest : public QObject {
    Q_OBJECT
  private slots:
    void aPausedEditIsOnDiskExactlyAndASaveRemovesIt() {
        Fixture f;
        RecoveryManager& manager = f.Start();
        f.documentPath = QStringLiteral("/home/author/原稿.txt");
        f.editor.Type(AwkwardText());
        QTRY_COMPARE(ReadFile(manager.CopyPath()), AwkwardText().toUtf8());
        QCOMPARE(ReadFile(manager.CopyPath().replace(".txt", ".path")),
                 QByteArray("/home/author/\xe5\x8e\x9f\xe7\xa8\xbf.txt"));
        // The folder is the author's only.
        struct stat info {};
        QCOMPARE(::stat(f.folder.constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700u);

        // Saved: the copy goes; typing again brings it back.
        f.editor.SetModified(false);
        QTRY_VERIFY(!Exists(manager.CopyPath()));
        f.editor.Type(QStringLiteral("続き"));
        QTRY_COMPARE(ReadFile(manager.CopyPath()), (AwkwardText() + "続き").toUtf8());

        // A normal end removes the copy and the program's entry.
        manager.EndNormally();
        QCOMPARE(QDir(QFile::decodeName(f.folder)).entryList(QDir::Files), QStringList());
    }

    void typingThatNeverPausesIsStillCopied() {
        Fixture f;
        RecoveryManager& manager = f.Start();
        manager.SetDelays(60000, 100);  // only the longest interval can write
        QTimer typist;
        int keys = 0;
        QObject::connect(&typist, &QTimer::timeout, [&] {
            f.editor.Type(QStringLiteral("あ"));
            ++keys;
        });
        typist.start(5);
        QTRY_VERIFY_WITH_TIMEOUT(Exists(manager.CopyPath()), 5000);
        typist.stop();
        QVERIFY(keys > 0);
        QVERIFY(ReadFile(manager.CopyPath()).startsWith("\xe3\x81\x82"));
    }

    void theWriterKeepsOnlyTheLatestRequest() {
        QTemporaryDir root;
        RecoveryStore store(QFile::encodeName(root.path()));
        QCOMPARE(store.Open(), 0);
        int finished = 0;
        {
            recovery::RecoveryWriter writer(store, [&](int error) {
                QCOMPARE(error, 0);
                ++finished;
            });
            for (int i = 0; i < 200; ++i) writer.Write(QString::number(i), "p");
            writer.Flush();
            QCOMPARE(ReadFile(store.CopyPath()), QByteArray("199"));
            writer.Remove();
            writer.Write(QStringLiteral("後"), "p");
        }  // the writer finishes what it was given before it goes
        QVERIFY(finished >= 2 && finished <= 202);
        QCOMPARE(ReadFile(store.CopyPath()), QStringLiteral("後").toUtf8());
    }

    void onlyCopiesOfEndedProgramsAreFoundAndEachByOneProgram() {
        QTemporaryDir root;
        const QByteArray folder = QFile::encodeName(root.path());
        LeaveCopy(folder, QStringLiteral("ended"), "/m/ended.txt");
        // A program that still runs keeps its copy locked.
        RecoveryStore running(folder);
        QCOMPARE(running.Open(), 0);
        QCOMPARE(running.Write("running", ""), 0);

        RecoveryStore first(folder);
        QCOMPARE(first.Open(), 0);
        std::vector<FoundCopy> found = first.FindAbandoned();
        QCOMPARE(found.size(), size_t{1});
        QCOMPARE(found[0].manuscriptPath, QByteArray("/m/ended.txt"));
        // While the first program considers it, a second one starting does not see it.
        RecoveryStore second(folder);
        QCOMPARE(second.Open(), 0);
        QVERIFY(second.FindAbandoned().empty());

        // Taken over, it is the first program's copy; nobody else finds it.
        QCOMPARE(first.Adopt(found[0]), 0);
        QCOMPARE(ReadFile(first.CopyPath()), QByteArray("ended"));
        QVERIFY(second.FindAbandoned().empty());
        QCOMPARE(ReadFile(running.CopyPath()), QByteArray("running"));
    }

    void stalePiecesAreCleanedAway() {
        QTemporaryDir root;
        const QByteArray folder = QFile::encodeName(root.path());
        {
            // Ended before it wrote anything, and in the middle of a write.
            RecoveryStore empty(folder);
            QCOMPARE(empty.Open(), 0);
        }
        QFile half(root.filePath("copy-AbCdEf.txt.XyZ123"));
        QVERIFY(half.open(QIODevice::WriteOnly));
        half.close();
        RecoveryStore store(folder);
        QCOMPARE(store.Open(), 0);
        QVERIFY(store.FindAbandoned().empty());
        QCOMPARE(QDir(root.path()).entryList(QDir::Files).size(), 1);  // its own lock
    }

    void theQuestionRestoresTheChosenCopy() {
        Fixture f;
        LeaveCopy(f.folder, AwkwardText(), QFile::encodeName(QStringLiteral("/m/長編.txt")));
        RecoveryManager& manager = f.Start();
        f.prompts.messageAnswers = {MessageAnswer::Yes};
        const auto restored = manager.OfferRestore(f.prompts, nullptr);
        QVERIFY(restored.has_value());
        QCOMPARE(restored->text, AwkwardText());
        QCOMPARE(restored->manuscriptPath, QStringLiteral("/m/長編.txt"));
        QCOMPARE(f.prompts.messages.size(), 1);
        QVERIFY(f.prompts.messages[0].text.startsWith(
            QStringLiteral("前回保存されなかった原稿があります。復元しますか?")));
        QCOMPARE(f.prompts.messages[0].buttons, MessageButtons::YesNo);
        // It is this program's copy now, kept until the text is saved.
        QCOMPARE(ReadFile(manager.CopyPath()), AwkwardText().toUtf8());
        // Asked once: the next program finds nothing.
        Fixture next;
        next.folder = f.folder;
        QVERIFY(!next.Start().OfferRestore(next.prompts, nullptr));
        QVERIFY(next.prompts.messages.isEmpty());
    }

    void severalCopiesAreListedAndTheOthersStay() {
        Fixture f;
        LeaveCopy(f.folder, QStringLiteral("older"), "");
        // Copies are listed newest first.
        ::sleep(1);
        LeaveCopy(f.folder, QStringLiteral("newer"), "/m/b.txt");
        RecoveryManager& manager = f.Start();
        f.prompts.messageAnswers = {MessageAnswer::Yes};
        f.prompts.choiceAnswers = {1};
        const auto restored = manager.OfferRestore(f.prompts, nullptr);
        QVERIFY(restored.has_value());
        QCOMPARE(restored->text, QStringLiteral("older"));
        QCOMPARE(restored->manuscriptPath, QString());
        QCOMPARE(f.prompts.choiceLists.size(), 1);
        QCOMPARE(f.prompts.choiceLists[0].size(), 2);
        QVERIFY(f.prompts.choiceLists[0][0].startsWith(QStringLiteral("/m/b.txt")));
        QVERIFY(f.prompts.choiceLists[0][1].startsWith(QStringLiteral("無題")));

        // The one not chosen is offered at the next start.
        Fixture next;
        next.folder = f.folder;
        next.prompts.messageAnswers = {MessageAnswer::Yes};
        const auto second = next.Start().OfferRestore(next.prompts, nullptr);
        QVERIFY(second.has_value());
        QCOMPARE(second->text, QStringLiteral("newer"));
    }

    void declinedCopiesAreKeptForAWeek() {
        Fixture f;
        LeaveCopy(f.folder, QStringLiteral("declined"), "/m/c.txt");
        RecoveryManager& manager = f.Start();
        f.prompts.messageAnswers = {MessageAnswer::No};
        QVERIFY(!manager.OfferRestore(f.prompts, nullptr));
        // The question named the folder the copies go to.
        const QString kept = QFile::decodeName(f.folder) + QStringLiteral("/kept");
        QVERIFY(f.prompts.messages[0].text.contains(kept));
        QStringList files = QDir(kept).entryList({QStringLiteral("*.txt")}, QDir::Files);
        QCOMPARE(files.size(), 1);
        QCOMPARE(ReadFile(QFile::encodeName(kept + '/' + files[0])), QByteArray("declined"));
        // Not asked about again.
        Fixture next;
        next.folder = f.folder;
        QVERIFY(!next.Start().OfferRestore(next.prompts, nullptr));

        // Six days on it is still there; eight days on it is gone.
        RecoveryStore store(f.folder);
        const std::time_t now = std::time(nullptr);
        store.PurgeKept(now + 6 * 86400, 7 * 86400);
        QCOMPARE(QDir(kept).entryList(QDir::Files).size(), 2);
        store.PurgeKept(now + 8 * 86400, 7 * 86400);
        QCOMPARE(QDir(kept).entryList(QDir::Files).size(), 0);
    }

    void anUnusableFolderIsReported() {
        QTemporaryDir root;
        QFile blocker(root.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        PlainTextEditor editor;
        RecoveryManager manager(QFile::encodeName(root.filePath("file/quirtle")), editor, {});
        QVERIFY(!manager.Start());
        QVERIFY(manager.ErrorText().contains(root.filePath("file/quirtle")));
        // Without a folder, editing goes on and nothing breaks.
        editor.Type(QStringLiteral("x"));
        manager.KeepNow();
        manager.EndNormally();
    }

    void theFolderFollowsXdgStateHome() {
        const QByteArray saved = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", "/var/tmp/state");
        QCOMPARE(RecoveryFolder(), QByteArray("/var/tmp/state/quirtle"));
        // A relative value is not used.
        qputenv("XDG_STATE_HOME", "relative");
        QCOMPARE(RecoveryFolder(), qgetenv("HOME") + "/.local/state/quirtle");
        qunsetenv("XDG_STATE_HOME");
        QCOMPARE(RecoveryFolder(), qgetenv("HOME") + "/.local/state/quirtle");
        if (!saved.isNull()) qputenv("XDG_STATE_HOME", saved);
    }

    void terminationSignalsArriveOnTheEventLoop() {
        for (const int number : {SIGTERM, SIGHUP, SIGINT}) {
            // Caught once: the handler is put back to the default by the first signal.
            TerminationSignals termination;
            QVERIFY(termination.Install());
            QSignalSpy received(&termination, &TerminationSignals::Received);
            ::raise(number);
            QTRY_COMPARE(received.size(), 1);
            QCOMPARE(received[0][0].toInt(), number);
            struct sigaction now {};
            ::sigaction(number, nullptr, &now);
            QVERIFY(now.sa_handler == SIG_DFL);
        }
    }
};

QTEST_MAIN(RecoveryTest)
#include "RecoveryTest.moc"
