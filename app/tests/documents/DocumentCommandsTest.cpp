// New, Open, Save, Save As and the closing question, driven as a user would: a real
// plain-text editor, every dialog answered from a script.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "DocumentFixture.h"
#include "TestFiles.h"
#include "documents/DocumentFiles.h"
#include "support/PlainTextEditor.h"
#include "support/ScriptedPrompts.h"
#include "text/FileNames.h"
#include "text/ShiftJis.h"

using quirtle::DocumentFiles;
using quirtle::MessageAnswer;
using quirtle::testing::PlainTextEditor;
using quirtle::testing::ReadBytes;
using quirtle::testing::ScriptedPrompts;
using quirtle::testing::WriteBytes;

namespace {

// "一行目" / "二行目" in CP932.
const std::string kLine1 = "\x88\xea\x8d\x73\x96\xda";
const std::string kLine2 = "\x93\xf1\x8d\x73\x96\xda";

}  // namespace

class DocumentCommandsTest : public DocumentFixture {
    Q_OBJECT

    // Puts the editor into the state "named, no unsaved changes" on a file holding bytes.
    void OpenNamed(const QString& path, const std::string& bytes) {
        WriteBytes(path, bytes);
        prompts_->fileAnswers.push_back(path);
        files_->OpenDocument();
        QCOMPARE(files_->documentPath(), path);
        prompts_->dialogs.clear();
        prompts_->messages.clear();
    }

    void ExpectUntouchedEdit(const QString& text, const QString& path) {
        QCOMPARE(editor_->Text(), text);
        QVERIFY(editor_->IsModified());
        QCOMPARE(files_->documentPath(), path);
    }

    void ExpectEmptyUntitled() {
        QCOMPARE(editor_->Text(), QString());
        QVERIFY(!editor_->IsModified());
        QVERIFY(files_->documentPath().isEmpty());
        QVERIFY(!editor_->CanUndo());
    }

  private slots:
    void init() { Reset(); }

    void saveOnUntitledAsksForANameThenSavesInPlace() {
        editor_->Type(QStringLiteral("一行目"));
        QVERIFY(editor_->IsModified());
        prompts_->fileAnswers.push_back(Path("a.txt"));
        files_->SaveDocument();

        QCOMPARE(prompts_->dialogs.size(), 1);
        const auto& dialog = prompts_->dialogs.front();
        QVERIFY(dialog.save);
        QCOMPARE(dialog.request.filters.size(), 2);
        QCOMPARE(dialog.request.filters[0].description,
                 QStringLiteral("テキスト ファイル (*.txt)"));
        QCOMPARE(dialog.request.filters[0].pattern, QStringLiteral("*.txt"));
        QCOMPARE(dialog.request.filters[1].description, QStringLiteral("すべてのファイル (*.*)"));
        QCOMPARE(dialog.request.filters[1].pattern, QStringLiteral("*.*"));
        QCOMPARE(dialog.request.selectedFilter, 0);
        QCOMPARE(dialog.request.defaultSuffix, QStringLiteral("txt"));
        QCOMPARE(dialog.request.initialName, QStringLiteral("無題"));
        QVERIFY(dialog.request.overwritePrompt);
        QVERIFY(prompts_->messages.isEmpty());
        QCOMPARE(ReadBytes(Path("a.txt")), kLine1);
        QCOMPARE(files_->documentPath(), Path("a.txt"));
        QVERIFY(!editor_->IsModified());

        // Named: Save writes without asking.
        editor_->Type(QStringLiteral("\n二行目"));
        files_->SaveDocument();
        QCOMPARE(prompts_->dialogs.size(), 1);
        QCOMPARE(ReadBytes(Path("a.txt")), kLine1 + "\r\n" + kLine2);
        QVERIFY(!editor_->IsModified());
    }

    void saveAsMovesToTheNewNameAndLeavesTheOldFile() {
        OpenNamed(Path("old.txt"), kLine1);
        editor_->Type(QStringLiteral("\n二行目"));
        prompts_->fileAnswers.push_back(Path("new.txt"));
        files_->SaveDocumentAs();
        QCOMPARE(files_->documentPath(), Path("new.txt"));
        QCOMPARE(ReadBytes(Path("new.txt")), kLine1 + "\r\n" + kLine2);
        QCOMPARE(ReadBytes(Path("old.txt")), kLine1);
        QVERIFY(!editor_->IsModified());

        // A cancelled Save As changes nothing, also on a clean document.
        prompts_->fileAnswers.push_back(std::nullopt);
        files_->SaveDocumentAs();
        QCOMPARE(files_->documentPath(), Path("new.txt"));
    }

    void openReadsTheFileKeepsUndoAndNewEmptiesIt() {
        editor_->Type(QStringLiteral("下書き"));
        prompts_->messageAnswers.push_back(MessageAnswer::No);
        WriteBytes(Path("m.txt"), kLine1);
        prompts_->fileAnswers.push_back(Path("m.txt"));
        files_->OpenDocument();

        QCOMPARE(prompts_->messages.size(), 1);
        QCOMPARE(prompts_->messages[0].text, QStringLiteral("変更を保存しますか?"));
        QCOMPARE(prompts_->messages[0].caption, QStringLiteral("確認"));
        QCOMPARE(prompts_->messages[0].buttons, quirtle::MessageButtons::YesNoCancel);
        QCOMPARE(prompts_->messages[0].icon, quirtle::MessageIcon::None);
        const auto& dialog = prompts_->dialogs.back().request;
        QVERIFY(!prompts_->dialogs.back().save);
        QCOMPARE(dialog.filters.size(), 2);
        QCOMPARE(dialog.selectedFilter, 0);
        QCOMPARE(dialog.defaultSuffix, QStringLiteral("txt"));
        QVERIFY(dialog.initialName.isEmpty());

        QCOMPARE(editor_->Text(), QStringLiteral("一行目"));
        QVERIFY(!editor_->IsModified());
        QCOMPARE(files_->documentPath(), Path("m.txt"));
        QVERIFY(editor_->CanUndo());

        // An edit makes the named document modified; New after No forgets everything.
        editor_->Type(QStringLiteral("!"));
        QVERIFY(editor_->IsModified());
        prompts_->messageAnswers.push_back(MessageAnswer::No);
        files_->NewDocument();
        ExpectEmptyUntitled();
        QCOMPARE(ReadBytes(Path("m.txt")), kLine1);
    }

    void newWithoutChangesAsksNothing() {
        OpenNamed(Path("m.txt"), kLine1);
        files_->NewDocument();
        QVERIFY(prompts_->messages.isEmpty());
        QVERIFY(prompts_->dialogs.isEmpty());
        ExpectEmptyUntitled();
    }

    void newYesOnNamedWritesThenEmpties() {
        OpenNamed(Path("m.txt"), kLine1);
        editor_->Type(QStringLiteral("\n二行目"));
        prompts_->messageAnswers.push_back(MessageAnswer::Yes);
        files_->NewDocument();
        QVERIFY(prompts_->dialogs.isEmpty());
        QCOMPARE(ReadBytes(Path("m.txt")), kLine1 + "\r\n" + kLine2);
        ExpectEmptyUntitled();
    }

    void newYesOnUntitled() {
        editor_->Type(QStringLiteral("一行目"));
        // Save dialog cancelled: nothing changes.
        prompts_->messageAnswers.push_back(MessageAnswer::Yes);
        prompts_->fileAnswers.push_back(std::nullopt);
        files_->NewDocument();
        ExpectUntouchedEdit(QStringLiteral("一行目"), QString());
        QVERIFY(editor_->CanUndo());

        // A name chosen: written there, then empty.
        prompts_->messageAnswers.push_back(MessageAnswer::Yes);
        prompts_->fileAnswers.push_back(Path("n.txt"));
        files_->NewDocument();
        QCOMPARE(ReadBytes(Path("n.txt")), kLine1);
        ExpectEmptyUntitled();
    }

    void newCancelKeepsEverything() {
        OpenNamed(Path("m.txt"), kLine1);
        editor_->Type(QStringLiteral("x"));
        prompts_->messageAnswers.push_back(MessageAnswer::Cancel);
        files_->NewDocument();
        ExpectUntouchedEdit(QStringLiteral("一行目x"), Path("m.txt"));
        QVERIFY(prompts_->dialogs.isEmpty());
        QCOMPARE(ReadBytes(Path("m.txt")), kLine1);
    }

    void openCancelShowsNoDialog() {
        editor_->Type(QStringLiteral("x"));
        prompts_->messageAnswers.push_back(MessageAnswer::Cancel);
        files_->OpenDocument();
        QVERIFY(prompts_->dialogs.isEmpty());
        ExpectUntouchedEdit(QStringLiteral("x"), QString());
    }

    void openYesWithSaveDialogCancelledStops() {
        editor_->Type(QStringLiteral("未保存"));
        prompts_->messageAnswers.push_back(MessageAnswer::Yes);
        prompts_->fileAnswers.push_back(std::nullopt);
        files_->OpenDocument();
        // Only the save dialog: the open dialog would lead to discarding the text.
        QCOMPARE(prompts_->dialogs.size(), 1);
        QVERIFY(prompts_->dialogs[0].save);
        ExpectUntouchedEdit(QStringLiteral("未保存"), QString());
    }

    void openYesOnNamedSavesThenOpens() {
        OpenNamed(Path("a.txt"), kLine1);
        editor_->Type(QStringLiteral("\n二行目"));
        WriteBytes(Path("b.txt"), kLine2);
        prompts_->messageAnswers.push_back(MessageAnswer::Yes);
        prompts_->fileAnswers.push_back(Path("b.txt"));
        files_->OpenDocument();
        QCOMPARE(ReadBytes(Path("a.txt")), kLine1 + "\r\n" + kLine2);
        QCOMPARE(editor_->Text(), QStringLiteral("二行目"));
        QCOMPARE(files_->documentPath(), Path("b.txt"));
        QVERIFY(!editor_->IsModified());
    }

    void openOfUnreadablePathChangesNothingSilently_data() {
        QTest::addColumn<QString>("name");
        // The open dialog's offer to create a missing file returns its name.
        QTest::newRow("missing file") << "missing.txt";
        QTest::newRow("folder") << "folder";
        QTest::newRow("under a file") << "plain.txt/inner.txt";
    }
    void openOfUnreadablePathChangesNothingSilently() {
        QFETCH(QString, name);
        QVERIFY(QDir(dir_->path()).mkdir("folder"));
        OpenNamed(Path("plain.txt"), kLine1);
        editor_->Type(QStringLiteral("x"));
        prompts_->messageAnswers.push_back(MessageAnswer::No);
        prompts_->fileAnswers.push_back(Path(name));
        files_->OpenDocument();
        QCOMPARE(prompts_->messages.size(), 1);  // only the save-changes question
        ExpectUntouchedEdit(QStringLiteral("一行目x"), Path("plain.txt"));
        QVERIFY(!QFile::exists(Path("missing.txt")));
    }

    void openRefusesBytesNoEncodingExplains_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("invalid CP932") << QByteArray("abc\x81\x20xyz");
        QTest::newRow("truncated pair") << QByteArray("abc\x88");
        QTest::newRow("random bytes")
            << QByteArray::fromHex("8f3e00ff81209a7fe0c1d2ffee0180fefd9c00a08d8e8f90ff7f8081");
    }
    void openRefusesBytesNoEncodingExplains() {
        QFETCH(QByteArray, bytes);
        OpenNamed(Path("good.txt"), kLine1);
        editor_->Type(QStringLiteral("x"));
        const QString bad = Path("bad.txt");
        WriteBytes(bad, bytes.toStdString());
        prompts_->messageAnswers.push_back(MessageAnswer::No);
        prompts_->fileAnswers.push_back(bad);
        files_->OpenDocument();

        QCOMPARE(prompts_->messages.size(), 2);
        const auto& refusal = prompts_->messages[1];
        QVERIFY2(refusal.text.contains(bad), qPrintable(refusal.text));
        QVERIFY2(refusal.text.contains("Shift_JIS"), qPrintable(refusal.text));
        QCOMPARE(refusal.caption, QStringLiteral("エラー"));
        QCOMPARE(refusal.icon, quirtle::MessageIcon::Error);
        ExpectUntouchedEdit(QStringLiteral("一行目x"), Path("good.txt"));
        QCOMPARE(ReadBytes(bad), bytes.toStdString());
    }

    void opensOtherEncodingsConvertedAfterAsking_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        QTest::newRow("UTF-16") << QByteArray("\xFF\xFE\x42\x30\x42\x30", 6) << "UTF-16";
        QTest::newRow("EUC-JP") << QByteArray(
                                       "\xC6\xFC\xCB\xDC\xB8\xEC\xA4\xCE\xB8\xB6\xB9\xC6\xA4\xC7"
                                       "\xA4\xB9\xA1\xA3\xBA\xA3\xC6\xFC\xA4\xCF\xB1\xAB\xA4\xAC"
                                       "\xB9\xDF\xA4\xC3\xA4\xC6\xA4\xA4\xA4\xEB\xA1\xA3")
                                << "EUC-JP";
    }
    void opensOtherEncodingsConvertedAfterAsking() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        const QString other = Path("other.txt");
        WriteBytes(other, bytes.toStdString());
        const QString expected = [&] {
            if (encoding == "EUC-JP")
                return QStringLiteral("日本語の原稿です。今日は雨が降っている。");
            return QStringLiteral("ああ");
        }();

        // No: nothing changes.
        OpenNamed(Path("good.txt"), kLine1);
        prompts_->messageAnswers.push_back(MessageAnswer::No);
        prompts_->fileAnswers.push_back(other);
        files_->OpenDocument();
        QCOMPARE(prompts_->messages.size(), 1);
        const auto& question = prompts_->messages[0];
        QVERIFY2(question.text.contains(other), qPrintable(question.text));
        QVERIFY2(question.text.contains(encoding), qPrintable(question.text));
        QVERIFY2(question.text.contains("Shift_JIS"), qPrintable(question.text));
        QCOMPARE(question.buttons, quirtle::MessageButtons::YesNo);
        QCOMPARE(editor_->Text(), QStringLiteral("一行目"));
        QVERIFY(!editor_->IsModified());
        QCOMPARE(files_->documentPath(), Path("good.txt"));

        // Yes: the converted text is an unsaved change, and saving writes Shift_JIS.
        prompts_->messageAnswers.push_back(MessageAnswer::Yes);
        prompts_->fileAnswers.push_back(other);
        files_->OpenDocument();
        QCOMPARE(editor_->Text(), expected);
        QVERIFY(editor_->IsModified());
        QCOMPARE(files_->documentPath(), other);
        QCOMPARE(ReadBytes(other), bytes.toStdString());  // untouched until saved
        files_->SaveDocument();
        QVERIFY(!editor_->IsModified());
        QCOMPARE(ReadBytes(other), quirtle::text::EncodeShiftJis(expected).bytes);
    }

    void validShiftJisThatAlsoReadsAsUtf8OpensWithoutAQuestion() {
        // "ABCﾃｽ" and "Memo ﾃｽﾄｳ OK" in Shift_JIS are valid UTF-8 as well.
        OpenNamed(Path("kana.txt"), "ABC\xC3\xBD\r\nMemo \xC3\xBD\xC4\xB3 OK");
        QCOMPARE(editor_->Text(), QStringLiteral("ABCﾃｽ\nMemo ﾃｽﾄｳ OK"));
        QVERIFY(!editor_->IsModified());
        QVERIFY(prompts_->messages.isEmpty());
    }

    // UTF-8 files open as they are, unmodified and without a question, and are saved as
    // UTF-8 again, a byte-order mark kept; Shift_JIS files stay Shift_JIS.
    void utf8AndShiftJisFilesKeepTheirEncoding_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("utf8");
        QTest::newRow("UTF-8") << QByteArray("日本語の原稿\r\n𠮟る😀") << "日本語の原稿\n𠮟る😀"
                               << true;
        // "ああ" in UTF-8: six bytes that are also valid CP932.
        QTest::newRow("short UTF-8") << QByteArray("ああ") << "ああ" << true;
        QTest::newRow("UTF-8 that Shift_JIS could hold")
            << QByteArray("一\r\n二") << "一\n二" << true;
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF剝がす\r\n") << "剝がす\n"
                                         << true;
        QTest::newRow("Shift_JIS")
            << QByteArray((kLine1 + "\r\n" + kLine2).c_str()) << "一行目\n二行目" << false;
    }
    void utf8AndShiftJisFilesKeepTheirEncoding() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(bool, utf8);
        OpenNamed(Path("in.txt"), bytes.toStdString());
        QCOMPARE(editor_->Text(), text);
        QVERIFY(!editor_->IsModified());
        QCOMPARE(files_->encoding(),
                 utf8 ? quirtle::ManuscriptEncoding::Utf8 : quirtle::ManuscriptEncoding::ShiftJis);
        // Saved again without a question: the same bytes (line ends as CR LF).
        files_->SaveDocument();
        QVERIFY(prompts_->messages.isEmpty());
        QCOMPARE(ReadBytes(Path("in.txt")), bytes.toStdString());
    }

    // Text Shift_JIS cannot hold is saved as UTF-8 after one question whose default is
    // UTF-8; cancelled, nothing is written and nothing changes.
    void unencodableTextIsSavedAsUtf8AfterOneQuestion() {
        OpenNamed(Path("m.txt"), kLine1);
        editor_->Type(QStringLiteral("\n二行目に𠮟😀"));

        prompts_->messageAnswers.push_back(MessageAnswer::Cancel);
        prompts_->fileAnswers.push_back(Path("other.txt"));
        files_->SaveDocumentAs();
        QCOMPARE(prompts_->messages.size(), 1);
        QCOMPARE(prompts_->messages[0].text,
                 QStringLiteral("この原稿には Shift_JIS で保存できない文字があります（最初は 2 "
                                "行目の「𠮟」）。UTF-8 で保存しますか?"));
        QCOMPARE(prompts_->buttonTexts.value(0),
                 QStringList({QStringLiteral("UTF-8 で保存"), QStringLiteral("キャンセル")}));
        QVERIFY(!QFile::exists(Path("other.txt")));
        ExpectUntouchedEdit(QStringLiteral("一行目\n二行目に𠮟😀"), Path("m.txt"));
        QCOMPARE(files_->encoding(), quirtle::ManuscriptEncoding::ShiftJis);

        // Closing: the question cancelled keeps the window open.
        prompts_->messageAnswers = {MessageAnswer::Yes, MessageAnswer::Cancel};
        QVERIFY(!files_->ConfirmClose());
        QCOMPARE(ReadBytes(Path("m.txt")), kLine1);
        QVERIFY(editor_->IsModified());

        // Accepted: UTF-8, and from then on without a question.
        prompts_->messageAnswers.push_back(MessageAnswer::Ok);
        files_->SaveDocument();
        QCOMPARE(ReadBytes(Path("m.txt")), std::string("一行目\r\n二行目に𠮟😀"));
        QVERIFY(!editor_->IsModified());
        QCOMPARE(files_->encoding(), quirtle::ManuscriptEncoding::Utf8);
        prompts_->messages.clear();
        editor_->Type(QStringLiteral("\n"));
        files_->SaveDocument();
        QVERIFY(prompts_->messages.isEmpty());

        // The menu's Shift_JIS asks again at the next save; New starts as Shift_JIS.
        files_->SetEncoding(quirtle::ManuscriptEncoding::ShiftJis);
        prompts_->messageAnswers.push_back(MessageAnswer::Ok);
        editor_->Type(QStringLiteral("x"));
        files_->SaveDocument();
        QCOMPARE(prompts_->messages.size(), 1);
        QCOMPARE(files_->encoding(), quirtle::ManuscriptEncoding::Utf8);
        files_->NewDocument();
        QCOMPARE(files_->encoding(), quirtle::ManuscriptEncoding::ShiftJis);
    }

    // The menu's UTF-8 writes text Shift_JIS could hold as UTF-8; the yen sign, which
    // Shift_JIS would write as the backslash, asks.
    void chosenEncodingAndTheYenSign() {
        OpenNamed(Path("m.txt"), kLine1);
        files_->SetEncoding(quirtle::ManuscriptEncoding::Utf8);
        files_->SaveDocument();
        QCOMPARE(ReadBytes(Path("m.txt")), std::string("一行目"));
        files_->SetEncoding(quirtle::ManuscriptEncoding::ShiftJis);
        editor_->ReplaceText(QStringLiteral("¥100"));
        prompts_->messageAnswers.push_back(MessageAnswer::Ok);
        files_->SaveDocument();
        QCOMPARE(prompts_->messages.size(), 1);
        QCOMPARE(ReadBytes(Path("m.txt")), std::string("¥100"));
    }

    void japaneseManuscriptSurvivesARoundTrip() {
        // "ソ" (83 5C) and "表" (95 5C) end in the backslash byte; line ends are mixed.
        const std::string mixed =
            "* \x95\x5c\x91\xe8\r\n"      // * 表題 CR LF
            "\x83\x5c\x81\x5b\x83\x58\r"  // ソース CR
            "\x95\x5c\\n\n"               // 表\n LF
            "\r\n"                        // empty line
            "\x83\x5c\x95\x5c";           // ソ表, no final break
        OpenNamed(Path("in.txt"), mixed);
        const QString expected = QStringLiteral("* 表題\nソース\n表\\n\n\nソ表");
        QCOMPARE(editor_->Text(), expected);

        prompts_->fileAnswers.push_back(Path("out.txt"));
        files_->SaveDocumentAs();
        const std::string written = ReadBytes(Path("out.txt"));
        QCOMPARE(written,
                 std::string("* \x95\x5c\x91\xe8\r\n\x83\x5c\x81\x5b\x83\x58\r\n\x95\x5c\\n\r\n"
                             "\r\n\x83\x5c\x95\x5c"));

        editor_->ReplaceText(QStringLiteral("別の文章"));
        prompts_->messageAnswers.push_back(MessageAnswer::No);
        prompts_->fileAnswers.push_back(Path("out.txt"));
        files_->OpenDocument();
        QCOMPARE(editor_->Text(), expected);
    }

    void aFileNameThatIsNotUtf8OpensAndSaves() {
        // "原稿" in CP932 as a file name: not UTF-8, as names from old archives are.
        const QByteArray folder = quirtle::text::FileNameToBytes(dir_->path());
        const QByteArray name = folder + "/\x8c\xb4\x8d\x65.txt";
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, kLine1.data(), kLine1.size()), ssize_t(kLine1.size()));
        ::close(fd);
        const QString path = quirtle::text::FileNameFromBytes(name);
        QCOMPARE(quirtle::text::FileNameToBytes(path), name);

        prompts_->fileAnswers.push_back(path);
        files_->OpenDocument();
        QCOMPARE(editor_->Text(), QStringLiteral("一行目"));
        editor_->Type(QStringLiteral("\n二行目"));
        files_->SaveDocument();
        // The same file got the text: no file with a replaced name beside it.
        char buffer[64] = {};
        const int in = ::open(name.constData(), O_RDONLY);
        QVERIFY(in >= 0);
        const ssize_t count = ::read(in, buffer, sizeof buffer);
        ::close(in);
        QCOMPARE(std::string(buffer, size_t(count)), kLine1 + "\r\n" + kLine2);
        int files = 0;
        DIR* listing = ::opendir(folder.constData());
        QVERIFY(listing != nullptr);
        while (const dirent* entry = ::readdir(listing)) files += entry->d_name[0] != '.';
        ::closedir(listing);
        QCOMPARE(files, 1);
    }

    void confirmCloseAnswers() {
        // No changes: nothing asked.
        QVERIFY(files_->ConfirmClose());
        QVERIFY(prompts_->messages.isEmpty());

        OpenNamed(Path("m.txt"), kLine1);
        editor_->Type(QStringLiteral("\n二行目"));
        prompts_->messageAnswers.push_back(MessageAnswer::Cancel);
        QVERIFY(!files_->ConfirmClose());
        prompts_->messageAnswers.push_back(MessageAnswer::No);
        QVERIFY(files_->ConfirmClose());
        QCOMPARE(ReadBytes(Path("m.txt")), kLine1);
        ExpectUntouchedEdit(QStringLiteral("一行目\n二行目"), Path("m.txt"));

        prompts_->messageAnswers.push_back(MessageAnswer::Yes);
        QVERIFY(files_->ConfirmClose());
        QCOMPARE(ReadBytes(Path("m.txt")), kLine1 + "\r\n" + kLine2);
        QVERIFY(!editor_->IsModified());
        QVERIFY(prompts_->dialogs.isEmpty());
    }

    void confirmCloseOnUntitled() {
        editor_->Type(QStringLiteral("一行目"));
        prompts_->messageAnswers.push_back(MessageAnswer::Yes);
        prompts_->fileAnswers.push_back(std::nullopt);
        QVERIFY(!files_->ConfirmClose());
        ExpectUntouchedEdit(QStringLiteral("一行目"), QString());

        // The chosen name cannot be written: the window stays open, the text unsaved.
        QVERIFY(QDir(dir_->path()).mkdir("taken.txt"));
        prompts_->messageAnswers.push_back(MessageAnswer::Yes);
        prompts_->fileAnswers.push_back(Path("taken.txt"));
        QVERIFY(!files_->ConfirmClose());
        QCOMPARE(prompts_->messages.size(), 3);
        QVERIFY(prompts_->messages[2].text.contains(Path("taken.txt")));
        ExpectUntouchedEdit(QStringLiteral("一行目"), QString());

        prompts_->messageAnswers.push_back(MessageAnswer::Yes);
        prompts_->fileAnswers.push_back(Path("c.txt"));
        QVERIFY(files_->ConfirmClose());
        QCOMPARE(ReadBytes(Path("c.txt")), kLine1);
        QCOMPARE(files_->documentPath(), Path("c.txt"));
    }
};

QTEST_MAIN(DocumentCommandsTest)
#include "DocumentCommandsTest.moc"
