#include <unistd.h>

#include <QGuiApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "ExportFixture.h"
#include "documents/TestFiles.h"
#include "export/WaitNotice.h"
#include "process/ProcessTestSupport.h"

using namespace quirtle;
using namespace quirtle::testing;

namespace {

// script.cfg's program field for the helper acting as a recording script.
std::string RecorderProgram() {
    return "\"" + HelperPath() + "\" record";
}

QStringList InfoLines(const QString& output) {
    return QString::fromUtf8(ReadWholeFile(output + ".info")).split('\n', Qt::SkipEmptyParts);
}

}  // namespace

class ExportCommandTest : public QObject {
    Q_OBJECT
  private slots:
    void sendsTheEditorsXmlToTheScriptInItsFolder() {
        ExportFixture f;
        f.AddEntry(RecorderProgram(), "rec.py", "--mark \"two words\"", "html");
        // Typed and never saved: the export takes what is in the editor.
        const QString manuscript = QStringLiteral(u"* 見出し\n本文の_漢字[かんじ]です。\n- 表示\n");
        f.editor.Type(manuscript);
        const QString output = f.outputDirectory + "page.html";
        f.prompts.fileAnswers.push_back(output);

        QCOMPARE(f.command.Export(3280), 0);

        QCOMPARE(f.prompts.dialogs.size(), 1);
        const FileDialogRequest& request = f.prompts.dialogs[0].request;
        QVERIFY(f.prompts.dialogs[0].save);
        QCOMPARE(request.filters.size(), 2);
        QCOMPARE(request.filters[0].description, QStringLiteral(u"html ファイル (*.html)"));
        QCOMPARE(request.filters[0].pattern, QStringLiteral("*.html"));
        QCOMPARE(request.filters[1].description, QStringLiteral(u"すべてのファイル (*.*)"));
        QCOMPARE(request.filters[1].pattern, QStringLiteral("*.*"));
        QCOMPARE(request.defaultSuffix, QStringLiteral("html"));
        QCOMPARE(request.initialName, QStringLiteral(u"無題"));
        QVERIFY(request.overwritePrompt);

        // The script got exactly the converter's bytes, Shift_JIS and all.
        const std::string received = ReadWholeFile(output).toStdString();
        QCOMPARE(received, ExportXml(manuscript));
        QVERIFY(received.find(Sjis(QStringLiteral(u"<heading>見出し</heading>"))) !=
                std::string::npos);

        const QString scriptDirectory = QDir(f.programDirectory + "script").canonicalPath();
        QCOMPARE(
            InfoLines(output),
            QStringList({"cwd=" + scriptDirectory, "arg=" + QString::fromStdString(HelperPath()),
                         "arg=record", "arg=" + f.programDirectory + "script/rec.py", "arg=--mark",
                         "arg=two words", "arg=-o", "arg=" + output}));
        QCOMPARE(f.desktop.openedFiles, QStringList{output});
        QVERIFY(f.prompts.messages.isEmpty());
        QVERIFY(!f.command.busy());
    }

    void emptyEditorSendsAnEmptyDocument() {
        ExportFixture f;
        f.AddEntry(RecorderProgram(), "rec.py", "", "xml");
        const QString output = f.outputDirectory + "empty.xml";
        f.prompts.fileAnswers.push_back(output);
        QCOMPARE(f.command.Export(3280), 0);
        QCOMPARE(
            ReadWholeFile(output),
            QByteArray("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><document></document>\r\n"));
    }

    void aNulInTheTextDoesNotEndTheManuscript() {
        ExportFixture f;
        f.AddEntry(RecorderProgram(), "rec.py", "", "xml");
        // Opened from a file holding a NUL byte: every line after it is exported too.
        const QString manuscript = QString::fromUtf16(u"前\n中\u0000の字\n後\n", 9);
        f.editor.Type(manuscript);
        const QString output = f.outputDirectory + "nul.xml";
        f.prompts.fileAnswers.push_back(output);
        QCOMPARE(f.command.Export(3280), 0);
        const std::string received = ReadWholeFile(output).toStdString();
        QCOMPARE(received, ExportXml(manuscript));
        QVERIFY(received.find(Sjis(QStringLiteral(u"<paragraph>後</paragraph>"))) !=
                std::string::npos);
        QVERIFY(received.find(std::string("\0", 1)) != std::string::npos);
    }

    void itemsAreFoundByTheLow16BitsOfTheCommand() {
        ExportFixture f;
        f.AddEntry(RecorderProgram(), "first.py", "", "txt", "&Same");
        f.AddEntry(RecorderProgram(), "second.py", "", "txt", "&Same");
        const QString output = f.outputDirectory + "out.txt";
        f.prompts.fileAnswers.push_back(output);
        QCOMPARE(f.command.Export(0x10000 + 3281), 0);
        QVERIFY(InfoLines(output).contains("arg=" + f.programDirectory + "script/second.py"));

        QCOMPARE(f.command.Export(3282), -1);
        QCOMPARE(f.prompts.dialogs.size(), 1);  // no dialog for a command without an entry
    }

    void emptyExtensionStillRuns() {
        ExportFixture f;
        f.AddEntry(RecorderProgram(), "rec.py", "", "");
        const QString output = f.outputDirectory + "plain";
        f.prompts.fileAnswers.push_back(output);
        QCOMPARE(f.command.Export(3280), 0);
        const FileDialogRequest& request = f.prompts.dialogs[0].request;
        QCOMPARE(request.filters[0].description, QStringLiteral(u" ファイル (*.)"));
        QCOMPARE(request.filters[0].pattern, QStringLiteral("*."));
        QCOMPARE(request.defaultSuffix, QString());
    }

    void cancelledDialogRunsNothing() {
        ExportFixture f;
        f.AddEntry(RecorderProgram(), "rec.py", "", "html");
        f.prompts.fileAnswers.push_back(std::nullopt);
        QCOMPARE(f.command.Export(3280), -1);
        QVERIFY(f.desktop.openedFiles.isEmpty());
        QVERIFY(QDir(f.outputDirectory).isEmpty());
    }

    void refusesToWriteOverTheManuscriptItself() {
        ExportFixture f;
        f.AddEntry(RecorderProgram(), "rec.py", "", "txt");
        f.documentPath = f.outputDirectory + "manuscript.txt";
        WriteBytes(f.documentPath, "original\r\n");
        QVERIFY(QFile::link(f.documentPath, f.outputDirectory + "link.txt"));
        f.editor.Type("changed");
        // The same file by its own name, by another spelling and through a link.
        const QStringList sameFile = {f.documentPath, f.outputDirectory + "./../out/manuscript.txt",
                                      f.outputDirectory + "link.txt"};
        for (const QString& path : sameFile) f.prompts.fileAnswers.push_back(path);
        for (int i = 0; i < sameFile.size(); ++i) QCOMPARE(f.command.Export(3280), -1);
        QCOMPARE(f.prompts.messages.size(), 3);
        for (const auto& message : f.prompts.messages) {
            QCOMPARE(message.text, QStringLiteral(u"原稿ファイルの上書きはできません"));
            QCOMPARE(message.caption, QStringLiteral("Error"));
            QCOMPARE(message.buttons, MessageButtons::Ok);
        }
        QCOMPARE(ReadBytes(f.documentPath), std::string("original\r\n"));
        QVERIFY(!QFile::exists(f.documentPath + ".info"));

        // A name that differs in letter case is another file here, and is written.
        const QString otherCase = f.outputDirectory + "Manuscript.txt";
        f.prompts.fileAnswers.push_back(otherCase);
        QCOMPARE(f.command.Export(3280), 0);
        QCOMPARE(ReadBytes(otherCase), ExportXml("changed"));
        QCOMPARE(ReadBytes(f.documentPath), std::string("original\r\n"));
    }

    void exitCodeAndErrorText_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("opened");
        QTest::newRow("failure, silent") << "--exit=3" << -1 << QString() << false;
        QTest::newRow("failure with text") << "--stderr=bad --exit=2" << -1 << "bad" << false;
        QTest::newRow("success with text")
            << QStringLiteral(u"--stderr=注意:\"x y\"") << 0 << QStringLiteral(u"注意:x y") << true;
        QTest::newRow("success, no file written") << "--no-output" << 0 << QString() << true;
    }
    void exitCodeAndErrorText() {
        QFETCH(QString, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(bool, opened);
        ExportFixture f;
        f.AddEntry(RecorderProgram(), "rec.py", Sjis(arguments), "txt");
        const QString output = f.outputDirectory + "result.txt";
        f.prompts.fileAnswers.push_back(output);
        QCOMPARE(f.command.Export(3280), status);
        if (message.isEmpty()) {
            QVERIFY(f.prompts.messages.isEmpty());
        } else {
            QCOMPARE(f.prompts.messages.size(), 1);
            QCOMPARE(f.prompts.messages[0].text, message);
            QCOMPARE(f.prompts.messages[0].caption, QStringLiteral("Message"));
            QCOMPARE(f.prompts.messages[0].buttons, MessageButtons::Ok);
        }
        QCOMPARE(f.desktop.openedFiles, opened ? QStringList{output} : QStringList{});
    }

    void programThatCannotStartEndsQuietly() {
        ExportFixture f;
        f.AddEntry("/nonexistent/quirtle-interpreter", "rec.py", "", "txt");
        f.prompts.fileAnswers.push_back(f.outputDirectory + "x.txt");
        const int descriptors = OpenDescriptorCount();
        QCOMPARE(f.command.Export(3280), -1);
        QVERIFY(f.prompts.messages.isEmpty());
        QVERIFY(f.desktop.openedFiles.isEmpty());
        QCOMPARE(OpenDescriptorCount(), descriptors);
    }

    void scriptThatStopsReadingDoesNotStopTheProgram() {
        ExportFixture f;
        // "exit-early" closes its input at once and exits 0, long before 2 MB are written.
        f.AddEntry("\"" + HelperPath() + "\" exit-early", "rec.py", "", "txt");
        QString manuscript;
        while (manuscript.size() < 2'000'000) manuscript += QStringLiteral(u"長い本文の行です。\n");
        f.editor.ReplaceText(manuscript);
        const QString output = f.outputDirectory + "x.txt";
        f.prompts.fileAnswers.push_back(output);
        QCOMPARE(f.command.Export(3280), 0);
        QCOMPARE(f.desktop.openedFiles, QStringList{output});
    }

    void charactersShiftJisCannotHoldReachTheScriptAsReferences() {
        ExportFixture f;
        f.AddEntry(RecorderProgram(), "rec.py", "", "txt");
        f.editor.Type(QStringLiteral(u"一行目\n絵文字😀です"));
        const QString output = f.outputDirectory + "x.txt";
        f.prompts.fileAnswers.push_back(output);
        QCOMPARE(f.command.Export(3280), 0);
        QVERIFY(f.prompts.messages.isEmpty());
        QVERIFY(ReadWholeFile(output).contains(
            QByteArray(Sjis(QStringLiteral(u"絵文字&#x1F600;です")).c_str())));
    }

    void aLongScriptCanBeLeftRunningAndItsResultStillOpens() {
        ExportFixture f;
        f.AddEntry(RecorderProgram(), "rec.py", "--sleep=1500", "txt");
        QWidget window;
        window.resize(400, 300);
        window.show();
        ExportCommand command(
            f.editor, f.prompts, f.desktop, &window, f.scripts, [] { return QString(); },
            f.programDirectory);
        command.SetNoticeDelay(100);
        const QString first = f.outputDirectory + "first.txt";
        const QString second = f.outputDirectory + "second.txt";
        f.prompts.fileAnswers = {first};
        bool noticeShown = false;
        QTimer::singleShot(400, &window, [&] {
            auto* notice = window.findChild<WaitNotice*>(QStringLiteral("waitNotice"));
            noticeShown = notice != nullptr && notice->isVisible();
            if (notice) QTest::mouseClick(notice->Button(), Qt::LeftButton);
        });
        QCOMPARE(command.Export(3280), 1);  // not waited for
        QVERIFY(noticeShown);
        QVERIFY(!command.busy());
        QVERIFY(f.desktop.openedFiles.isEmpty());
        // Its result opens when it ends.
        QTRY_COMPARE_WITH_TIMEOUT(f.desktop.openedFiles, QStringList{first}, 10000);

        // Left running again, and exported once more meanwhile: the older result is
        // dropped with a message, the newer one opens.
        f.prompts.fileAnswers = {first, second};
        QTimer::singleShot(400, &window, [&] {
            if (auto* notice = window.findChild<WaitNotice*>(QStringLiteral("waitNotice")))
                QTest::mouseClick(notice->Button(), Qt::LeftButton);
        });
        QCOMPARE(command.Export(3280), 1);
        f.scripts[0].arguments = "";
        QCOMPARE(command.Export(3280), 0);
        QTRY_COMPARE_WITH_TIMEOUT(f.prompts.messages.size(), 1, 10000);
        QVERIFY(f.prompts.messages[0].text.contains(first));
        QCOMPARE(f.desktop.openedFiles, (QStringList{first, second}));
    }

    void windowRepaintsWithBusyCursorWhileTheScriptRuns() {
        ExportFixture f;
        f.AddEntry(RecorderProgram(), "rec.py", "--sleep=400", "txt");
        f.prompts.fileAnswers.push_back(f.outputDirectory + "x.txt");
        bool timerRan = false;
        bool busyDuringRun = false;
        Qt::CursorShape cursor = Qt::ArrowCursor;
        QTimer::singleShot(100, [&] {
            timerRan = true;
            busyDuringRun = f.command.busy();
            if (const QCursor* shown = QGuiApplication::overrideCursor()) cursor = shown->shape();
        });
        QCOMPARE(f.command.Export(3280), 0);
        QVERIFY(timerRan);  // events other than input are handled during the run
        QVERIFY(busyDuringRun);
        QCOMPARE(cursor, Qt::WaitCursor);
        QVERIFY(!f.command.busy());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }
};

QTEST_MAIN(ExportCommandTest)
#include "ExportCommandTest.moc"
