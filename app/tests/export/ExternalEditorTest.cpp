#include <unistd.h>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <clocale>
#include <memory>

#include "documents/TestFiles.h"
#include "export/ExternalEditor.h"
#include "support/PlainTextEditor.h"
#include "support/RecordingDesktop.h"
#include "support/ScriptedPrompts.h"
#include "text/ShiftJis.h"

using namespace quirtle;
using namespace quirtle::testing;

namespace {

// Editors the tests start: shell scripts that note their file, working directory and what
// they were given, then edit the file. The temporary file is in the locale's character set
// (UTF-8 here): E3 81 82 is "あ" in UTF-8.
const char* const kAppendingEditor =
    "#!/bin/sh\n"
    "printf '%s' \"$1\" > \"$QRT_RECORD/path\"\n"
    "pwd > \"$QRT_RECORD/cwd\"\n"
    "cp \"$1\" \"$QRT_RECORD/seen\"\n"
    "printf '\\r\\n\\343\\201\\202' >> \"$1\"\n";
// Hands the file to "a running instance" and returns at once: the save comes a second
// later, by a process of its own.
const char* const kHandingOffEditor =
    "#!/bin/sh\n"
    "printf '%s' \"$1\" > \"$QRT_RECORD/path\"\n"
    "(sleep 1; printf '\\343\\201\\202\\343\\201\\204' > \"$1\") &\n"  // "あい"
    "exit 0\n";
// Saves "ABCﾃｽ" and "Memo ﾃｽﾄｳ OK" in Shift_JIS (half-width kana, also valid UTF-8).
const char* const kShiftJisKanaEditor =
    "#!/bin/sh\n"
    "printf 'ABC\\303\\275\\r\\nMemo \\303\\275\\304\\263 OK' > \"$1\"\n";
// Saves bytes that no encoding explains.
const char* const kGarblingEditor =
    "#!/bin/sh\n"
    "printf '%s' \"$1\" > \"$QRT_RECORD/path\"\n"
    "printf 'x\\200\\377\\200\\377' > \"$1\"\n";
// Notes every argument it was given, one per line.
const char* const kArgumentsEditor =
    "#!/bin/sh\n"
    "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$QRT_RECORD/args\"\n";
const char* const kFailingEditor =
    "#!/bin/sh\n"
    "printf '%s' \"$1\" > \"$QRT_RECORD/path\"\n"
    "printf 'lost' > \"$1\"\n"
    "exit 1\n";
const char* const kUtf8Editor =
    "#!/bin/sh\n"
    "printf '\\343\\201\\202\\n\\344\\270\\200' > \"$1\"\n";  // "あ\n一" in UTF-8

struct EditorFixture {
    QTemporaryDir root;
    QString programDirectory = root.filePath("app") + "/";
    QString temporaryDirectory = root.filePath("tmp");
    QString record = root.filePath("record");
    QString config = root.filePath("config");
    PlainTextEditor editor;
    ScriptedPrompts prompts;
    RecordingDesktop desktop;
    std::unique_ptr<ExternalEditor> owned =
        std::make_unique<ExternalEditor>(editor, prompts, desktop, nullptr, programDirectory);
    ExternalEditor& external = *owned;

    EditorFixture() {
        // The author's edits in the pane end a watch, as the main window arranges.
        QObject::connect(&editor.widget, &QPlainTextEdit::textChanged,
                         [this] { external.NotePaneEdited(); });
        external.SetSettleTime(50);
        QDir().mkpath(programDirectory);
        QDir().mkpath(temporaryDirectory);
        QDir().mkpath(record);
        qputenv("TMPDIR", QFile::encodeName(temporaryDirectory));
        qputenv("QRT_RECORD", QFile::encodeName(record));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    }
    QString UserSetting() const { return config + "/quirtle/EDITOR"; }
    QString Program(const QString& name, const char* body) {
        const QString path = root.filePath(name);
        WriteBytes(path, body);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    void ChooseProgram(const QString& path) {
        prompts.fileAnswers.push_back(path);
        external.ChooseExternalEditor();
    }
    bool TemporaryFolderEmpty() const { return QDir(temporaryDirectory).isEmpty(); }
    QString TemporaryPath() const { return QString::fromStdString(ReadBytes(record + "/path")); }
};

// Saves `bytes` to `path` as many editors do: a new file renamed over the old one.
void SaveByRename(const QString& path, const QByteArray& bytes) {
    const QString fresh = path + ".new";
    WriteBytes(fresh, bytes.toStdString());
    QVERIFY(::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) ==
            0);
}

}  // namespace

class ExternalEditorTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        // The temporary file is written in the locale's character set.
        QVERIFY(std::setlocale(LC_ALL, "C.UTF-8") != nullptr);
    }

    void editsInTheChosenProgramAndTakesTheTextBack() {
        EditorFixture f;
        const QString program = f.Program("edit.sh", kAppendingEditor);
        f.ChooseProgram(program);
        QCOMPARE(f.prompts.dialogs.size(), 1);
        const FileDialogRequest& request = f.prompts.dialogs[0].request;
        QVERIFY(!f.prompts.dialogs[0].save);
        QCOMPARE(request.filters[0].description, QStringLiteral(u"exe ファイル (*.exe)"));
        QCOMPARE(request.filters[0].pattern, QStringLiteral("*.exe"));
        QCOMPARE(request.filters[1].description, QStringLiteral(u"すべてのファイル (*.*)"));
        QCOMPARE(request.selectedFilter, 0);
        QCOMPARE(request.defaultSuffix, QStringLiteral("exe"));
        QCOMPARE(f.external.editorPath(), QFile::encodeName(program));
        QCOMPARE(ReadBytes(f.programDirectory + "EDITOR"),
                 QFile::encodeName(program).toStdString());

        f.editor.Type(QStringLiteral(u"一行目\n二行目"));
        f.external.LaunchExternalEditor();

        QCOMPARE(f.editor.Text(), QStringLiteral(u"一行目\n二行目\nあ"));
        // Handed over in the locale's character set, with CR LF line breaks.
        QCOMPARE(ReadBytes(f.record + "/seen"), std::string("一行目\r\n二行目"));
        QCOMPARE(
            ReadBytes(f.record + "/cwd"),
            QFile::encodeName(QDir(f.temporaryDirectory).canonicalPath()).toStdString() + "\n");
        const QString temporary = QString::fromStdString(ReadBytes(f.record + "/path"));
        QVERIFY2(QFileInfo(temporary).fileName().startsWith("QRT"), qPrintable(temporary));
        QVERIFY(temporary.endsWith(".tmp"));
        QVERIFY(f.TemporaryFolderEmpty());
        QVERIFY(f.prompts.messages.isEmpty());
        QVERIFY(!f.external.busy());
    }

    void nonZeroExitKeepsTheText() {
        EditorFixture f;
        f.ChooseProgram(f.Program("fail.sh", kFailingEditor));
        f.editor.Type("keep me");
        f.external.LaunchExternalEditor();
        QCOMPARE(f.editor.Text(), QStringLiteral("keep me"));
        QVERIFY(QFile::exists(f.record + "/path"));  // it did run
        QVERIFY(f.TemporaryFolderEmpty());
    }

    void editorSavingUtf8IsReadBack() {
        EditorFixture f;
        f.ChooseProgram(f.Program("utf8.sh", kUtf8Editor));
        f.editor.Type("old");
        f.external.LaunchExternalEditor();
        QCOMPARE(f.editor.Text(), QStringLiteral(u"あ\n一"));
        QVERIFY(f.TemporaryFolderEmpty());
    }

    void halfWidthKanaSavedInShiftJisSurvive() {
        EditorFixture f;
        f.ChooseProgram(f.Program("kana.sh", kShiftJisKanaEditor));
        f.editor.Type(QStringLiteral(u"ﾃｽﾄ"));
        f.external.LaunchExternalEditor();
        QCOMPARE(f.editor.Text(), QStringLiteral(u"ABCﾃｽ\nMemo ﾃｽﾄｳ OK"));
        QVERIFY(f.prompts.messages.isEmpty());
    }

    void textThatCannotBeReadBackKeepsItsFile() {
        EditorFixture f;
        f.ChooseProgram(f.Program("garble.sh", kGarblingEditor));
        f.editor.Type("mine");
        f.external.LaunchExternalEditor();
        QCOMPARE(f.editor.Text(), QStringLiteral("mine"));
        const QString temporary = f.TemporaryPath();
        QCOMPARE(f.prompts.messages.size(), 1);
        QVERIFY2(f.prompts.messages[0].text.contains(temporary),
                 qPrintable(f.prompts.messages[0].text));
        QCOMPARE(f.prompts.messages[0].caption, QStringLiteral(u"エラー"));
        QCOMPARE(ReadBytes(temporary), std::string("x\x80\xFF\x80\xFF"));
        f.owned.reset();  // the program ends: the author's only copy stays
        QCOMPARE(ReadBytes(temporary), std::string("x\x80\xFF\x80\xFF"));
    }

    // An editor that hands the file to a running instance returns before anything is
    // saved: the file is watched, and every later save arrives as one undo step.
    void savesAfterTheEditorReturnedArrive() {
        EditorFixture f;
        f.ChooseProgram(f.Program("handoff.sh", kHandingOffEditor));
        QList<bool> watching;
        f.external.SetWatchingChanged([&](bool on) { watching.append(on); });
        f.editor.Type("first");
        f.external.LaunchExternalEditor();
        QCOMPARE(f.editor.Text(), QStringLiteral("first"));  // nothing saved yet
        const QString temporary = f.TemporaryPath();
        QCOMPARE(f.external.WatchedFile(), std::optional<QString>(temporary));
        QCOMPARE(watching, QList<bool>{true});
        QVERIFY(QFile::exists(temporary));

        QTRY_COMPARE_WITH_TIMEOUT(f.editor.Text(), QStringLiteral(u"あい"), 10000);
        // A second save, by writing a new file and renaming it over the old one.
        SaveByRename(temporary, "\x82\xa4\x82\xa6");  // "うえ", saved in Shift_JIS this time
        QTRY_COMPARE_WITH_TIMEOUT(f.editor.Text(), QStringLiteral(u"うえ"), 10000);
        QVERIFY(f.prompts.messages.isEmpty());

        // Saves that cannot be read keep the file, and say so; the watch goes on.
        SaveByRename(temporary, "\x80\xFF");
        QTRY_COMPARE_WITH_TIMEOUT(f.prompts.messages.size(), 1, 10000);
        QVERIFY(f.prompts.messages[0].text.contains(temporary));
        QCOMPARE(f.editor.Text(), QStringLiteral(u"うえ"));
        SaveByRename(temporary, "\xE3\x81\x8A");  // "お"
        QTRY_COMPARE_WITH_TIMEOUT(f.editor.Text(), QStringLiteral(u"お"), 10000);

        // The author edits in the pane: later saves no longer replace the text.
        QTextCursor(f.editor.widget.document()).insertText("!");
        QCOMPARE(f.external.WatchedFile(), std::nullopt);
        QCOMPARE(watching, (QList<bool>{true, false}));
        SaveByRename(temporary, "\xE3\x81\x8B");
        QTest::qWait(500);
        QCOMPARE(f.editor.Text(), QStringLiteral(u"!お"));
        // Each save was one step of the undo history.
        for (const char16_t* earlier : {u"お", u"うえ", u"あい", u"first"}) {
            f.editor.widget.undo();
            QCOMPARE(f.editor.Text(), QString::fromUtf16(earlier));
        }

        // The program ends: the watched file goes.
        QVERIFY(QFile::exists(temporary));
        f.owned.reset();
        QVERIFY(!QFile::exists(temporary));
    }

    void anotherExternalEditEndsTheWatch() {
        EditorFixture f;
        const QString returnsAtOnce =
            f.Program("noop.sh", "#!/bin/sh\nprintf '%s' \"$1\" > \"$QRT_RECORD/path\"\n");
        f.ChooseProgram(returnsAtOnce);
        f.editor.Type("text");
        f.external.LaunchExternalEditor();
        const QString first = f.TemporaryPath();
        QCOMPARE(f.external.WatchedFile(), std::optional<QString>(first));
        f.external.LaunchExternalEditor();
        const QString second = f.TemporaryPath();
        QVERIFY(first != second);
        QCOMPARE(f.external.WatchedFile(), std::optional<QString>(second));
        SaveByRename(first, "old save");
        QTest::qWait(400);
        QCOMPARE(f.editor.Text(), QStringLiteral("text"));
        f.owned.reset();
        QVERIFY(f.TemporaryFolderEmpty());
    }

    void defaultEditorStartsWithItsDesktopEntryCommand() {
        EditorFixture f;
        WriteBytes(f.programDirectory + "LICENSE.TXT", "license\r\n");
        const QString program = f.Program("my editor", kArgumentsEditor);
        f.desktop.defaultExec = "\"" + program + "\" --new-window %U %i --title=%c";
        f.editor.Type("x");
        f.external.LaunchExternalEditor();
        const QStringList arguments =
            QString::fromStdString(ReadBytes(f.record + "/args")).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(arguments.size(), 3);
        QCOMPARE(arguments[0], QStringLiteral("--new-window"));
        QVERIFY2(QFileInfo(arguments[1]).fileName().startsWith("QRT"), qPrintable(arguments[1]));
        QCOMPARE(arguments[2], QStringLiteral("--title="));
        QCOMPARE(f.desktop.execLookedUp, QStringList{f.programDirectory + "LICENSE.TXT"});
        QVERIFY(f.desktop.programQueries.isEmpty());
    }

    void programThatCannotStartLeavesNothingBehind() {
        EditorFixture f;
        WriteBytes(f.programDirectory + "EDITOR", "/nonexistent/quirtle-editor");
        f.external.LoadEditorSetting();
        f.editor.Type("text");
        f.external.LaunchExternalEditor();
        QCOMPARE(f.editor.Text(), QStringLiteral("text"));
        QVERIFY(f.TemporaryFolderEmpty());
        QVERIFY(f.prompts.messages.isEmpty());
        QVERIFY(f.desktop.programQueries.isEmpty());  // a chosen editor is never replaced
    }

    void editorSettingFile_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("path") << QByteArray("/usr/bin/ed") << QByteArray("/usr/bin/ed");
        QTest::newRow("259 bytes") << QByteArray(259, 'a') << QByteArray(259, 'a');
        QTest::newRow("260 bytes ignored") << QByteArray(260, 'a') << QByteArray();
        QTest::newRow("empty ignored") << QByteArray() << QByteArray();
        QTest::newRow("cut at NUL") << QByteArray("/bin/ab\0cd", 10) << QByteArray("/bin/ab");
        QTest::newRow("line end kept") << QByteArray("/bin/ed\r\n") << QByteArray("/bin/ed\r\n");
    }
    void editorSettingFile() {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, expected);
        EditorFixture f;
        WriteBytes(f.programDirectory + "EDITOR", content.toStdString());
        f.external.LoadEditorSetting();
        QCOMPARE(f.external.editorPath(), expected);
    }

    void settingWithLineEndFailsQuietly() {
        EditorFixture f;
        const QString program = f.Program("edit.sh", kAppendingEditor);
        WriteBytes(f.programDirectory + "EDITOR", QFile::encodeName(program).toStdString() + "\n");
        f.external.LoadEditorSetting();
        f.editor.Type("same");
        f.external.LaunchExternalEditor();
        QCOMPARE(f.editor.Text(), QStringLiteral("same"));
        QVERIFY(!QFile::exists(f.record + "/path"));
        QVERIFY(f.TemporaryFolderEmpty());
    }

    void defaultEditorIsTheDesktopsProgramForTheLicenseFile() {
        EditorFixture f;
        f.editor.Type("x");
        // No choice and no LICENSE.TXT: nothing at all happens.
        f.external.LaunchExternalEditor();
        QVERIFY(f.desktop.programQueries.isEmpty());
        QVERIFY(f.TemporaryFolderEmpty());

        // LICENSE.TXT but nothing associated with it: still nothing.
        WriteBytes(f.programDirectory + "LICENSE.TXT", "license\r\n");
        f.external.LaunchExternalEditor();
        QCOMPARE(f.desktop.programQueries, QStringList{f.programDirectory + "LICENSE.TXT"});
        QCOMPARE(f.editor.Text(), QStringLiteral("x"));

        f.desktop.defaultProgram = f.Program("edit.sh", kAppendingEditor);
        f.external.LaunchExternalEditor();
        QCOMPARE(f.editor.Text(), QStringLiteral(u"x\nあ"));
        QCOMPARE(f.desktop.execLookedUp.size(), 2);  // the whole command is asked for first
        QVERIFY(f.external.editorPath().isEmpty());  // used for that run only
        QVERIFY(!QFile::exists(f.programDirectory + "EDITOR"));
    }

    void choiceHoldsAtOnceAndAfterARestart() {
        EditorFixture f;
        f.prompts.fileAnswers.push_back(std::nullopt);
        f.external.ChooseExternalEditor();
        QVERIFY(f.external.editorPath().isEmpty());
        QVERIFY(!QFile::exists(f.programDirectory + "EDITOR"));

        const QString program = f.Program("edit.sh", kAppendingEditor);
        f.ChooseProgram(program);
        ExternalEditor restarted(f.editor, f.prompts, f.desktop, nullptr, f.programDirectory);
        restarted.LoadEditorSetting();
        QCOMPARE(restarted.editorPath(), QFile::encodeName(program));

        QVERIFY(!QFile::exists(f.UserSetting()));
    }

    void readOnlyProgramFolderKeepsTheChoiceInTheUsersFolder() {
        EditorFixture f;
        const QString program = f.Program("edit.sh", kAppendingEditor);
        // A folder nobody can write to, not even root: it does not exist.
        const QString installed = f.root.filePath("missing") + "/";
        ExternalEditor readOnly(f.editor, f.prompts, f.desktop, nullptr, installed);
        f.prompts.fileAnswers.push_back(program);
        readOnly.ChooseExternalEditor();
        QCOMPARE(readOnly.editorPath(), QFile::encodeName(program));
        QCOMPARE(ReadBytes(f.UserSetting()), QFile::encodeName(program).toStdString());

        ExternalEditor restarted(f.editor, f.prompts, f.desktop, nullptr, installed);
        restarted.LoadEditorSetting();
        QCOMPARE(restarted.editorPath(), QFile::encodeName(program));
        f.editor.Type("x");
        restarted.LaunchExternalEditor();
        QCOMPARE(f.editor.Text(), QStringLiteral(u"x\nあ"));

        // A writable program folder with its own file: that file is read first.
        WriteBytes(f.programDirectory + "EDITOR", "/usr/bin/ed");
        f.external.LoadEditorSetting();
        QCOMPARE(f.external.editorPath(), QByteArray("/usr/bin/ed"));
    }

    void installedSettingGivesWayToTheUsersChoice() {
        if (geteuid() == 0) QSKIP("root writes into read-only folders");
        EditorFixture f;
        WriteBytes(f.programDirectory + "EDITOR", "/usr/bin/ed");
        QVERIFY(QFile::setPermissions(f.programDirectory, QFile::ReadOwner | QFile::ExeOwner));
        f.external.LoadEditorSetting();
        QCOMPARE(f.external.editorPath(), QByteArray("/usr/bin/ed"));
        f.ChooseProgram(f.Program("edit.sh", kAppendingEditor));
        ExternalEditor restarted(f.editor, f.prompts, f.desktop, nullptr, f.programDirectory);
        restarted.LoadEditorSetting();
        QCOMPARE(restarted.editorPath(), f.external.editorPath());
        QFile::setPermissions(f.programDirectory,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void charactersShiftJisCannotHoldReachTheEditorIntact() {
        // The locale's UTF-8 holds every character: nothing to warn about, nothing lost.
        EditorFixture f;
        f.ChooseProgram(f.Program("edit.sh", kAppendingEditor));
        f.editor.Type(QStringLiteral(u"😀é"));
        f.external.LaunchExternalEditor();
        QVERIFY(f.prompts.messages.isEmpty());
        QCOMPARE(ReadBytes(f.record + "/seen"), std::string("😀é"));
        QCOMPARE(f.editor.Text(), QStringLiteral(u"😀é\nあ"));
    }

    void reloadReadsShiftJisOrUtf8AndIgnoresTheRest() {
        EditorFixture f;
        f.editor.Type("before");
        const QString file = f.root.filePath("reload.txt");
        WriteBytes(file, "\x83\x5C\x95\x5C\r\nok");  // "ソ表" in Shift_JIS
        QVERIFY(f.external.ReloadFromFile(file));
        QCOMPARE(f.editor.Text(), QStringLiteral(u"ソ表\nok"));
        WriteBytes(file, "\xEF\xBB\xBF\xE6\x97\xA5\r\n");  // UTF-8 "日" with byte-order mark
        f.external.ReloadFromFile(file);
        QCOMPARE(f.editor.Text(), QStringLiteral(u"日\n"));
        WriteBytes(file, "\x80\xFF");
        QVERIFY(!f.external.ReloadFromFile(file));
        QCOMPARE(f.editor.Text(), QStringLiteral(u"日\n"));
        QVERIFY(!f.external.ReloadFromFile(f.root.filePath("missing.txt")));
        QCOMPARE(f.editor.Text(), QStringLiteral(u"日\n"));
    }
};

QTEST_MAIN(ExternalEditorTest)
#include "ExternalEditorTest.moc"
