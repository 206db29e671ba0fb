// Saving replaces the manuscript atomically, and a save that fails for a real reason (read-only
// folder, full disk, size limit, a folder in the way) loses nothing and stops the commands
// that would otherwise throw the text away.
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <memory>

#include "DocumentFixture.h"
#include "TestFiles.h"
#include "documents/DocumentFiles.h"
#include "support/PlainTextEditor.h"
#include "support/ScriptedPrompts.h"

using quirtle::DocumentFiles;
using quirtle::MessageAnswer;
using quirtle::testing::PlainTextEditor;
using quirtle::testing::ReadBytes;
using quirtle::testing::ScriptedPrompts;
using quirtle::testing::WriteBytes;

namespace {

const std::string kOld = "old manuscript\r\n";

struct stat StatOf(const QString& path) {
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0) status.st_ino = 0;
    return status;
}

// A small tmpfs mounted over a folder for the test's lifetime (root only).
class TmpfsMount {
  public:
    TmpfsMount(const QString& folder, const char* options)
        : path_(QFile::encodeName(folder)), options_(options) {
        mounted_ =
            ::mount("tmpfs", path_.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options_) == 0;
    }
    ~TmpfsMount() {
        if (mounted_) ::umount2(path_.constData(), MNT_DETACH);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool mounted() const { return mounted_; }
    bool MakeReadOnly() {
        return ::mount("tmpfs", path_.constData(), "tmpfs",
                       MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, options_) == 0;
    }

  private:
    QByteArray path_;
    const char* options_;
    bool mounted_ = false;
};

// Limits the size of files this process may write, as a quota would.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = saved_;
        limit.rlim_cur = bytes;
        active_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, SIG_DFL);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return active_; }

  private:
    struct rlimit saved_ {};
    bool active_ = false;
};

}  // namespace

class DocumentSavingTest : public DocumentFixture {
    Q_OBJECT

    void OpenNamed(const QString& path) {
        prompts_->fileAnswers.push_back(path);
        files_->OpenDocument();
        QCOMPARE(files_->documentPath(), path);
    }

    static QStringList Entries(const QString& folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot |
                                      QDir::System);
    }

    // The last message reports a failed save of path, for the given reason.
    void ExpectSaveFailure(const QString& path, const QString& reason) {
        QVERIFY(!prompts_->messages.isEmpty());
        const auto& message = prompts_->messages.back();
        QVERIFY2(message.text.contains(path), qPrintable(message.text));
        QVERIFY2(message.text.contains(reason), qPrintable(message.text));
        QCOMPARE(message.caption, QStringLiteral("エラー"));
        QCOMPARE(message.icon, quirtle::MessageIcon::Error);
    }

    // With the named manuscript `target` (holding kOld) modified, every way of saving fails
    // for `reason`: the old file, the text, the path and the modified flag all stay, and New,
    // Open and closing stop rather than discard the text.
    void ExpectEverySaveFailsSafely(const QString& target, const QString& reason) {
        const QString folder = QFileInfo(target).absolutePath();
        const QStringList before = Entries(folder);
        const QString text = editor_->Text();
        auto expectNothingLost = [&] {
            QCOMPARE(ReadBytes(target), kOld);
            QCOMPARE(editor_->Text(), text);
            QVERIFY(editor_->IsModified());
            QCOMPARE(files_->documentPath(), target);
            QCOMPARE(Entries(folder), before);  // no temporary file left behind
        };

        files_->SaveDocument();
        ExpectSaveFailure(target, reason);
        expectNothingLost();

        prompts_->fileAnswers.push_back(QDir(folder).filePath("other.txt"));
        files_->SaveDocumentAs();
        ExpectSaveFailure(QDir(folder).filePath("other.txt"), reason);
        expectNothingLost();

        prompts_->messageAnswers.push_back(MessageAnswer::Yes);
        files_->NewDocument();
        ExpectSaveFailure(target, reason);
        expectNothingLost();

        prompts_->messageAnswers.push_back(MessageAnswer::Yes);
        const auto dialogs = prompts_->dialogs.size();
        files_->OpenDocument();
        ExpectSaveFailure(target, reason);
        QCOMPARE(prompts_->dialogs.size(), dialogs);  // no open dialog after the failure
        expectNothingLost();

        prompts_->messageAnswers.push_back(MessageAnswer::Yes);
        QVERIFY(!files_->ConfirmClose());
        ExpectSaveFailure(target, reason);
        expectNothingLost();
    }

  private slots:
    void init() { Reset(); }

    void saveReplacesTheFileKeepingItsPermissions() {
        const QString target = Path("m.txt");
        WriteBytes(target, kOld);
        QCOMPARE(::chmod(QFile::encodeName(target).constData(), 0640), 0);
        const ino_t oldInode = StatOf(target).st_ino;
        OpenNamed(target);
        editor_->Type(QStringLiteral("more"));
        files_->SaveDocument();

        QCOMPARE(ReadBytes(target), std::string("old manuscript\r\nmore"));
        const struct stat after = StatOf(target);
        QCOMPARE(after.st_mode & 07777, mode_t(0640));
        QVERIFY(after.st_ino != oldInode);  // a new file renamed into place
        QCOMPARE(Entries(dir_->path()), QStringList{"m.txt"});
        QVERIFY(prompts_->messages.isEmpty());
    }

    void newFileFollowsTheUmask() {
        const mode_t saved = ::umask(027);
        editor_->Type(QStringLiteral("x"));
        prompts_->fileAnswers.push_back(Path("n.txt"));
        files_->SaveDocument();
        ::umask(saved);
        QCOMPARE(StatOf(Path("n.txt")).st_mode & 07777, mode_t(0640));
        QCOMPARE(ReadBytes(Path("n.txt")), std::string("x"));
    }

    void saveWritesThroughASymbolicLink() {
        QVERIFY(QDir(dir_->path()).mkdir("real"));
        WriteBytes(Path("real/m.txt"), kOld);
        QVERIFY(QFile::link(Path("real/m.txt"), Path("link.txt")));
        OpenNamed(Path("link.txt"));
        editor_->Type(QStringLiteral("more"));
        files_->SaveDocument();
        QVERIFY(S_ISLNK(StatOf(Path("link.txt")).st_mode));
        QCOMPARE(ReadBytes(Path("real/m.txt")), std::string("old manuscript\r\nmore"));
        QCOMPARE(Entries(dir_->path()), (QStringList{"link.txt", "real"}));
    }

    void folderInTheWayOrMissing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("target is a folder") << "taken.txt" << QStringLiteral("同じ名前のフォルダ");
        QTest::newRow("folder missing")
            << "none/m.txt" << QStringLiteral("フォルダが見つかりません");
        QTest::newRow("under a file")
            << "file.txt/m.txt" << QStringLiteral("フォルダが見つかりません");
    }
    void folderInTheWayOrMissing() {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QVERIFY(QDir(dir_->path()).mkdir("taken.txt"));
        WriteBytes(Path("file.txt"), kOld);
        const QStringList before = Entries(dir_->path());
        editor_->Type(QStringLiteral("text"));
        prompts_->fileAnswers.push_back(Path(name));
        files_->SaveDocument();

        ExpectSaveFailure(Path(name), reason);
        QVERIFY(editor_->IsModified());
        QVERIFY(files_->documentPath().isEmpty());  // still untitled
        QCOMPARE(Entries(dir_->path()), before);
        QCOMPARE(ReadBytes(Path("file.txt")), kOld);
        QVERIFY(QFileInfo(Path("taken.txt")).isDir());
    }

    // A write-protected manuscript, or a name that is a pipe, is not replaced by a new file:
    // the save fails with a message and the text stays unsaved.
    void protectedOrSpecialTargetIsLeftAlone_data() {
        QTest::addColumn<bool>("pipe");
        QTest::addColumn<QString>("reason");
        QTest::newRow("write-protected file")
            << false << QStringLiteral("書き込みが許可されていません");
        QTest::newRow("named pipe") << true << QStringLiteral("通常のファイルではありません");
    }
    void protectedOrSpecialTargetIsLeftAlone() {
        QFETCH(bool, pipe);
        QFETCH(QString, reason);
        const QString target = Path("m.txt");
        const QByteArray native = QFile::encodeName(target);
        if (pipe) {
            QCOMPARE(::mkfifo(native.constData(), 0644), 0);
            editor_->Type(QStringLiteral("text"));
            prompts_->fileAnswers.push_back(target);
            files_->SaveDocumentAs();
            QVERIFY(files_->documentPath().isEmpty());
            QVERIFY(S_ISFIFO(StatOf(target).st_mode));
        } else {
            WriteBytes(target, kOld);
            OpenNamed(target);
            QCOMPARE(::chmod(native.constData(), 0444), 0);
            editor_->Type(QStringLiteral("more"));
            files_->SaveDocument();
            QCOMPARE(ReadBytes(target), kOld);
            QCOMPARE(StatOf(target).st_mode & 07777, mode_t(0444));
            prompts_->messageAnswers.push_back(MessageAnswer::Yes);
            QVERIFY(!files_->ConfirmClose());
            ::chmod(native.constData(), 0644);
        }
        ExpectSaveFailure(target, reason);
        QVERIFY(editor_->IsModified());
        QCOMPARE(Entries(dir_->path()), QStringList{"m.txt"});
    }

    void readOnlyFolderLosesNothing() {
        const QString folder = Path("ro");
        QVERIFY(QDir(dir_->path()).mkdir("ro"));
        const QString target = QDir(folder).filePath("m.txt");
        // Permission bits do not stop root; a read-only file system does.
        std::unique_ptr<TmpfsMount> mount;
        if (::geteuid() == 0) {
            mount = std::make_unique<TmpfsMount>(folder, "size=256k");
            if (!mount->mounted()) QSKIP("cannot mount a tmpfs here");
        }
        WriteBytes(target, kOld);
        OpenNamed(target);
        editor_->Type(QStringLiteral("more"));
        QString reason;
        if (mount) {
            QVERIFY(mount->MakeReadOnly());
            reason = QStringLiteral("読み取り専用");
        } else {
            QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
            reason = QStringLiteral("書き込みが許可されていません");
        }
        ExpectEverySaveFailsSafely(target, reason);
        if (!mount) ::chmod(QFile::encodeName(folder).constData(), 0755);
    }

    void fullDiskLosesNothing() {
        if (::geteuid() != 0) QSKIP("mounting a small tmpfs needs root");
        const QString folder = Path("disk");
        QVERIFY(QDir(dir_->path()).mkdir("disk"));
        TmpfsMount mount(folder, "size=64k");
        if (!mount.mounted()) QSKIP("cannot mount a tmpfs here");
        const QString target = QDir(folder).filePath("m.txt");
        WriteBytes(target, kOld);
        OpenNamed(target);
        editor_->Type(QString(3000, QChar(u'原')));

        QFile filler(QDir(folder).filePath("filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        QVERIFY(QFileInfo(filler).size() > 0);

        ExpectEverySaveFailsSafely(target, QStringLiteral("空き容量が足りません"));
    }

    void fileSizeLimitLosesNothing() {
        const QString target = Path("m.txt");
        WriteBytes(target, kOld);
        OpenNamed(target);
        editor_->Type(QString(5000, QChar(u'原')));
        FileSizeLimit limit(4096);
        QVERIFY(limit.active());
        ExpectEverySaveFailsSafely(target, QStringLiteral("大きすぎます"));
    }
};

QTEST_MAIN(DocumentSavingTest)
#include "DocumentSavingTest.moc"
