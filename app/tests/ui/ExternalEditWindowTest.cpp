// The main window around an external edit (Xvfb): a close asked for while the editor runs
// is carried out when it returns, and the status bar tells while a file is being watched.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <clocale>
#include <thread>

#include "TestWindow.h"
#include "export/ExternalEditor.h"
#include "ui/Commands.h"
#include "ui/EditorPane.h"
#include "ui/MainFrame.h"

using namespace quirtle;
using namespace quirtle::testing;

namespace {

// Puts an editor program into the window's program folder and chooses it in "EDITOR".
void UseEditor(TestWindow& window, const QByteArray& script) {
    const QString path = window.folder.Path() + QStringLiteral("editor.sh");
    window.folder.WriteFile(QStringLiteral("editor.sh"), script);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    window.folder.WriteFile(QStringLiteral("EDITOR"), QFile::encodeName(path));
}

}  // namespace

class ExternalEditWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QVERIFY(std::setlocale(LC_ALL, "C.UTF-8") != nullptr); }

    void closeAskedWhileTheEditorRunsHappensAfterwards() {
        TestWindow window;
        // Takes a while, then saves "編集後" (UTF-8).
        UseEditor(window,
                  "#!/bin/sh\nsleep 1\nprintf '\\347\\267\\250\\351\\233\\206\\345\\276\\214' > "
                  "\"$1\"\n");
        QVERIFY(window.Create());
        window.frame->show();
        window.Probe().Editor().ReplaceText(QStringLiteral("原稿"));
        window.Probe().Editor().SetModified(false);

        bool busyAtClose = false;
        QTimer::singleShot(300, window.frame.get(), [&] {
            busyAtClose = window.frame->IsBusy();
            window.frame->close();
        });
        window.prompts.messageAnswers = {MessageAnswer::No};
        window.frame->RunCommand(command::kLaunchExternalEditor);

        QVERIFY(busyAtClose);
        // The edit came back, and then the closing rule ran: it asked, and No closed.
        QCOMPARE(window.Probe().Editor().Text(), QStringLiteral("編集後"));
        QCOMPARE(window.prompts.messages.size(), 1);
        QCOMPARE(window.prompts.messages[0].text, QStringLiteral("変更を保存しますか?"));
        QVERIFY(!window.frame->isVisible());
    }

    void closeAskedWhileAScriptRunsHappensAfterwards() {
        // One export script that takes a while and then writes its output.
        TestWindow window(QByteArray("Slow\t\tslow.sh\t\ttxt\r\n"));
        QDir().mkpath(window.folder.Path() + QStringLiteral("script"));
        window.folder.WriteFile(QStringLiteral("script/slow.sh"),
                                "#!/bin/sh\ncat > /dev/null\nsleep 1\nprintf done > \"$2\"\n");
        QFile::setPermissions(window.folder.Path() + QStringLiteral("script/slow.sh"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(window.Create());
        window.frame->show();
        const QString output = window.folder.Path() + QStringLiteral("out.txt");
        window.prompts.fileAnswers = {output};

        bool busyAtClose = false;
        QTimer::singleShot(300, window.frame.get(), [&] {
            busyAtClose = window.frame->IsBusy();
            window.frame->close();
        });
        window.frame->RunCommand(window.Probe().Scripts().front().commandId);

        QVERIFY(busyAtClose);
        QCOMPARE(window.desktop.openedFiles, QStringList{output});  // the export finished
        QVERIFY(!window.frame->isVisible());  // and then the window closed (no changes)
    }

    void previewReadyWhileAScriptRunsWaitsForTheNextTick() {
        TestWindow window(QByteArray("Slow\t\tslow.sh\t\ttxt\r\n"));
        QDir().mkpath(window.folder.Path() + QStringLiteral("script"));
        window.folder.WriteFile(QStringLiteral("script/slow.sh"),
                                "#!/bin/sh\ncat > /dev/null\nsleep 1\nprintf done > \"$2\"\n");
        QFile::setPermissions(window.folder.Path() + QStringLiteral("script/slow.sh"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        probe.PreviewTimer().stop();  // the test runs the ticks itself
        frame.show();
        window.prompts.fileAnswers = {window.folder.Path() + QStringLiteral("out.txt")};
        // The preview is made on its own thread while the script runs.
        frame.SetPreviewConverter([](const std::string&) -> std::optional<std::string> {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            return std::string("<p id=\"late\">late</p>");
        });
        QSignalSpy updates(&frame, &MainFrame::PreviewUpdated);
        frame.UpdatePreview();
        bool previewingDuringScript = false;
        QTimer::singleShot(600, &frame, [&] {
            previewingDuringScript = frame.IsBusy() && frame.PreviewInProgress();
            frame.PreviewTick();  // a tick while the script runs does nothing
        });
        frame.RunCommand(probe.Scripts().front().commandId);
        QVERIFY(previewingDuringScript);
        QCOMPARE(window.desktop.openedFiles.size(), 1);  // the export ran to its end
        // The page was left alone while the script ran; the next tick hands it over.
        QTest::qWait(300);
        QCOMPARE(updates.size(), 0);
        QVERIFY(window.ContentsHtml().contains(QStringLiteral("placeholder")));
        QVERIFY(frame.PreviewInProgress());
        frame.PreviewTick();
        QTRY_COMPARE_WITH_TIMEOUT(updates.size(), 1, 15000);
        QCOMPARE(window.ContentsHtml(), QStringLiteral("<p id=\"late\">late</p>"));
    }

    void statusBarTellsWhileAnEditIsWatched() {
        TestWindow window;
        UseEditor(window, "#!/bin/sh\nexit 0\n");  // hands off: returns before any save
        QVERIFY(window.Create());
        window.frame->show();
        QLabel* label = window.Probe().ExternalEditLabel();
        QVERIFY(label->isHidden());
        window.Probe().Editor().ReplaceText(QStringLiteral("本文"));
        window.frame->RunCommand(command::kLaunchExternalEditor);

        const std::optional<QString> watched = window.Probe().OtherEditor().WatchedFile();
        QVERIFY(watched.has_value());
        QVERIFY(label->isVisible());
        QVERIFY2(label->text().contains(QStringLiteral("外部エディタ")), qPrintable(label->text()));

        // A save arrives in the pane; the note stays.
        QFile file(*watched);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("\xE4\xBF\xAE\xE6\xAD\xA3");  // "修正"
        file.close();
        QTRY_COMPARE_WITH_TIMEOUT(window.Probe().Editor().Text(), QStringLiteral("修正"), 10000);
        QVERIFY(label->isVisible());

        // Typing in the pane ends the watch.
        window.Probe().Editor().setFocus();
        QTest::keyClicks(&window.Probe().Editor(), QStringLiteral("x"));
        QVERIFY(!window.Probe().OtherEditor().WatchedFile());
        QVERIFY(label->isHidden());
    }
};

QTEST_MAIN(ExternalEditWindowTest)
#include "ExternalEditWindowTest.moc"
