#include <QDir>
#include <QTemporaryDir>
#include <QTest>

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
// they were given, then edit the file. 0x82 0xA0 is "あ" in Shift_JIS.
const char* const kAppendingEditor =
    "#!/bin/sh\n"
    "printf '%s' \"$1\" > \"$QRT_RECORD/path\"\n"
    "pwd > \"$QRT_RECORD/cwd\"\n"
    "cp \"$1\" \"$QRT_RECORD/seen\"\n"
    "printf '\\r\\n\\202\\240' >> \"$1\"\n";
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
    PlainTextEditor editor;
    ScriptedPrompts prompts;
    RecordingDesktop desktop;
    ExternalEditor external{editor, prompts, desktop, nullptr, programDirectory};

    EditorFixture() {
        QDir().mkpath(programDirectory);
        QDir().mkpath(temporaryDirectory);
        QDir().mkpath(record);
        qputenv("TMPDIR", QFile::encodeName(temporaryDirectory));
        qputenv("QRT_RECORD", QFile::encodeName(record));
    }
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
};

}  // namespace

class ExternalEditorTest : public QObject {
    Q_OBJECT
  private slots:
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
        QCOMPARE(f.external.editorPath(), QFile::encodeName(program));
        QCOMPARE(ReadBytes(f.programDirectory + "EDITOR"),
                 QFile::encodeName(program).toStdString());

        f.editor.Type(QStringLiteral(u"一行目\n二行目"));
        f.external.LaunchExternalEditor();

        QCOMPARE(f.editor.Text(), QStringLiteral(u"一行目\n二行目\nあ"));
        QCOMPARE(ReadBytes(f.record + "/seen"), text::EncodeShiftJis(u"一行目\n二行目").bytes);
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

        // A program folder that cannot be written keeps the choice in memory only.
        ExternalEditor readOnly(f.editor, f.prompts, f.desktop, nullptr,
                                f.root.filePath("missing") + "/");
        f.prompts.fileAnswers.push_back(program);
        readOnly.ChooseExternalEditor();
        QCOMPARE(readOnly.editorPath(), QFile::encodeName(program));
    }

    void warnsBeforeHandingOnCharactersShiftJisCannotHold() {
        EditorFixture f;
        f.ChooseProgram(f.Program("edit.sh", kAppendingEditor));
        f.editor.Type(QStringLiteral(u"😀"));
        f.prompts.messageAnswers.push_back(MessageAnswer::Cancel);
        f.external.LaunchExternalEditor();
        QCOMPARE(f.prompts.messages.size(), 1);
        QCOMPARE(f.prompts.messages[0].caption, QStringLiteral(u"確認"));
        QVERIFY(!QFile::exists(f.record + "/path"));
        QCOMPARE(f.editor.Text(), QStringLiteral(u"😀"));
    }

    void reloadReadsShiftJisOrUtf8AndIgnoresTheRest() {
        EditorFixture f;
        f.editor.Type("before");
        const QString file = f.root.filePath("reload.txt");
        WriteBytes(file, "\x83\x5C\x95\x5C\r\nok");  // "ソ表" in Shift_JIS
        f.external.ReloadFromFile(file);
        QCOMPARE(f.editor.Text(), QStringLiteral(u"ソ表\nok"));
        WriteBytes(file, "\xEF\xBB\xBF\xE6\x97\xA5\r\n");  // UTF-8 "日" with byte-order mark
        f.external.ReloadFromFile(file);
        QCOMPARE(f.editor.Text(), QStringLiteral(u"日\n"));
        WriteBytes(file, "\xFF\xFE");
        f.external.ReloadFromFile(file);
        QCOMPARE(f.editor.Text(), QStringLiteral(u"日\n"));
        f.external.ReloadFromFile(f.root.filePath("missing.txt"));
        QCOMPARE(f.editor.Text(), QStringLiteral(u"日\n"));
    }
};

QTEST_MAIN(ExternalEditorTest)
#include "ExternalEditorTest.moc"
