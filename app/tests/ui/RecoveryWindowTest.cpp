// The main window around the recovery copy and waits that never end (Xvfb): a restored
// text saves to its manuscript, the system's signals and the session's end keep the
// text, an editor that never returns can be left running, and a NUL reaches the preview.
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <clocale>

#include "TestWindow.h"
#include "documents/DocumentFiles.h"
#include "export/ExternalEditor.h"
#include "export/WaitNotice.h"
#include "recovery/RecoveryManager.h"
#include "recovery/RecoveryStore.h"
#include "ui/Commands.h"
#include "ui/EditorPane.h"
#include "ui/MainFrame.h"

using namespace quirtle;
using namespace quirtle::testing;

namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
    return file.readAll();
}

QString CopyPath(MainFrame& frame) {
    return QFile::decodeName(frame.Recovery()->CopyPath());
}

// A copy left by a program that ended without saving.
void LeaveCopy(const QByteArray& folder, const QString& text, const QString& manuscript) {
    recovery::RecoveryStore store(folder);
    QCOMPARE(store.Open(), 0);
    const QByteArray utf8 = text.toUtf8();
    QCOMPARE(store.Write(std::string_view(utf8.constData(), size_t(utf8.size())),
                         QFile::encodeName(manuscript)),
             0);
}

}  // namespace

class RecoveryWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QVERIFY(std::setlocale(LC_ALL, "C.UTF-8") != nullptr); }

    void aRestoredTextSavesToItsManuscript() {
        TestWindow window;
        const QByteArray state = QFile::encodeName(window.folder.Path() + "state");
        const QString manuscript = window.folder.Path() + QStringLiteral("長編.txt");
        window.folder.WriteFile(QStringLiteral("長編.txt"), "old\r\n");
        LeaveCopy(state, QStringLiteral("第一章\n続きの文"), manuscript);
        QVERIFY(window.Create());
        window.frame->show();
        window.prompts.messageAnswers = {MessageAnswer::Yes};
        window.frame->StartRecovery(state);

        EditorPane& editor = window.Probe().Editor();
        QCOMPARE(editor.Text(), QStringLiteral("第一章\n続きの文"));
        QVERIFY(editor.IsModified());
        QCOMPARE(window.Probe().Documents().documentPath(), manuscript);
        // 上書き保存 writes the original file (Shift_JIS, CR LF) and the copy goes.
        window.frame->RunCommand(command::kSave);
        QCOMPARE(ReadFile(manuscript),
                 QByteArray("\x91\xe6\x88\xea\x8f\xcd\r\n\x91\xb1\x82\xab\x82\xcc\x95\xb6"));
        QTRY_VERIFY(!QFile::exists(CopyPath(*window.frame)));
    }

    void aSignalKeepsTheTextAndEndsWithoutAsking() {
        TestWindow window;
        const QByteArray state = QFile::encodeName(window.folder.Path() + "state");
        QVERIFY(window.Create());
        window.frame->show();
        window.frame->StartRecovery(state);
        window.Probe().Editor().setFocus();
        QTest::keyClicks(&window.Probe().Editor(), QStringLiteral("unsaved"));
        const QString copy = CopyPath(*window.frame);
        window.frame->EndBySignal();
        // On disk at once, and no question was asked.
        QCOMPARE(ReadFile(copy), QByteArray("unsaved"));
        QVERIFY(window.prompts.messages.isEmpty());
        QVERIFY(!window.frame->isVisible());
        window.frame.reset();
        QCOMPARE(ReadFile(copy), QByteArray("unsaved"));  // it outlives the program
    }

    void theSessionsEndAsksWhenItMayAndKeepsTheTextOtherwise() {
        TestWindow window;
        const QByteArray state = QFile::encodeName(window.folder.Path() + "state");
        QVERIFY(window.Create());
        window.frame->show();
        window.frame->StartRecovery(state);
        window.Probe().Editor().ReplaceText(QStringLiteral("text"));
        const QString copy = CopyPath(*window.frame);

        // No question possible: the copy is written at once.
        QVERIFY(window.frame->CommitSession(false));
        QCOMPARE(ReadFile(copy), QByteArray("text"));
        QVERIFY(window.prompts.messages.isEmpty());
        // Cancel keeps the session from ending; No lets it end and keeps nothing.
        window.prompts.messageAnswers = {MessageAnswer::Cancel, MessageAnswer::No};
        QVERIFY(!window.frame->CommitSession(true));
        QCOMPARE(window.prompts.messages.size(), 1);
        QCOMPARE(window.prompts.messages[0].text, QStringLiteral("変更を保存しますか?"));
        QVERIFY(QFile::exists(copy));
        QVERIFY(window.frame->CommitSession(true));
        QTRY_VERIFY(!QFile::exists(copy));
    }

    void anEditorThatNeverReturnsCanBeLeftRunning() {
        TestWindow window;
        const QString path = window.folder.Path() + QStringLiteral("editor.sh");
        // Never ends (it is not killed; the test's folder goes with it later).
        window.folder.WriteFile(QStringLiteral("editor.sh"), "#!/bin/sh\nexec sleep 3600\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        window.folder.WriteFile(QStringLiteral("EDITOR"), QFile::encodeName(path));
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        frame.show();
        EditorPane& editor = window.Probe().Editor();
        editor.ReplaceText(QStringLiteral("原稿"));
        editor.setFocus();

        bool noticeShown = false;
        bool busyMeanwhile = false;
        QTimer::singleShot(300, &frame, [&] {
            busyMeanwhile = frame.IsBusy();
            // Keys and a shortcut given while the window waits are dropped.
            QTest::keyClicks(&editor, QStringLiteral("abc"));
            QTest::keyClick(&editor, Qt::Key_S, Qt::ControlModifier);
            auto* notice = frame.findChild<WaitNotice*>(QStringLiteral("waitNotice"));
            noticeShown = notice != nullptr && notice->isVisible() &&
                          notice->Button()->text() == QStringLiteral("待たずに続ける");
            if (notice) QTest::mouseClick(notice->Button(), Qt::LeftButton);
        });
        frame.RunCommand(command::kLaunchExternalEditor);

        QVERIFY(busyMeanwhile);
        QVERIFY(noticeShown);
        QVERIFY(!frame.IsBusy());
        QVERIFY(window.prompts.dialogs.isEmpty());  // the Ctrl+S never reached the window
        QTest::qWait(200);
        QCOMPARE(editor.Text(), QStringLiteral("原稿"));
        QVERIFY(frame.findChild<WaitNotice*>(QStringLiteral("waitNotice")) == nullptr);
        // The file is still watched, and the window works again: it types and saves.
        QVERIFY(window.Probe().OtherEditor().WatchedFile().has_value());
        QTest::keyClicks(&editor, QStringLiteral("x"));
        QCOMPARE(editor.Text(), QStringLiteral("x原稿"));
        const QString saved = window.folder.Path() + QStringLiteral("saved.txt");
        window.prompts.fileAnswers = {saved};
        frame.RunCommand(command::kSave);
        QCOMPARE(ReadFile(saved), QByteArray("x\x8c\xb4\x8d\x65"));
    }

    void aNulInTheTextReachesThePreview() {
        TestWindow window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        frame.show();
        QSignalSpy updates(&frame, &MainFrame::PreviewUpdated);
        window.Probe().Editor().ReplaceText(QString::fromUtf16(u"前\n中\u0000字\n後の行", 9));
        frame.UpdatePreview();
        QTRY_VERIFY_WITH_TIMEOUT(updates.size() >= 1, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(window.ContentsHtml().contains(QStringLiteral("<p>後の行</p>")),
                                 15000);
    }
};

QTEST_MAIN(RecoveryWindowTest)
#include "RecoveryWindowTest.moc"
