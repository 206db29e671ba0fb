// The scripted prompts: answers from the queues, and an unexpected question failing only
// the test that meets it, answered so that nothing is lost.
#include <QTest>

#include "support/ScriptedPrompts.h"

using quirtle::FileDialogRequest;
using quirtle::MessageAnswer;
using quirtle::MessageButtons;
using quirtle::MessageIcon;
using quirtle::testing::ScriptedPrompts;

class ScriptedPromptsTest : public QObject {
    Q_OBJECT

  private slots:
    void AnswersInOrderAndRecordsEveryQuestion() {
        ScriptedPrompts prompts;
        prompts.messageAnswers = {MessageAnswer::No, MessageAnswer::Yes};
        prompts.fileAnswers = {QStringLiteral("/tmp/a.txt"), std::nullopt};
        QCOMPARE(prompts.ShowMessage(nullptr, "q1", "c", MessageButtons::YesNo, MessageIcon::None),
                 MessageAnswer::No);
        QCOMPARE(prompts.ShowMessage(nullptr, "q2", "c", MessageButtons::YesNoCancel,
                                     MessageIcon::Question),
                 MessageAnswer::Yes);
        // A plain notice needs no queued answer.
        QCOMPARE(prompts.ShowMessage(nullptr, "note", "c", MessageButtons::Ok, MessageIcon::None),
                 MessageAnswer::Ok);
        QCOMPARE(prompts.GetOpenFileName(nullptr, FileDialogRequest{}),
                 std::optional<QString>(QStringLiteral("/tmp/a.txt")));
        QCOMPARE(prompts.GetSaveFileName(nullptr, FileDialogRequest{}), std::nullopt);
        QCOMPARE(prompts.messages.size(), 3);
        QCOMPARE(prompts.messages[1].text, QStringLiteral("q2"));
        QCOMPARE(prompts.dialogs.size(), 2);
        QVERIFY(prompts.dialogs[1].save);
    }

    void UnexpectedQuestionFailsTheTestAndLosesNothing() {
        ScriptedPrompts prompts;
        // Each unexpected question must fail this test; expected failures keep it green
        // and would turn into a failure (XPASS) if the prompts let a question through.
        QEXPECT_FAIL("", "a question with no queued answer", Continue);
        const MessageAnswer saveChanges = prompts.ShowMessage(
            nullptr, "save?", "c", MessageButtons::YesNoCancel, MessageIcon::None);
        QCOMPARE(saveChanges, MessageAnswer::Cancel);
        QEXPECT_FAIL("", "a yes/no question with no queued answer", Continue);
        QCOMPARE(
            prompts.ShowMessage(nullptr, "sure?", "c", MessageButtons::YesNo, MessageIcon::None),
            MessageAnswer::No);
        QEXPECT_FAIL("", "a file dialog with no queued answer", Continue);
        QCOMPARE(prompts.GetSaveFileName(nullptr, FileDialogRequest{}), std::nullopt);
    }
};

QTEST_MAIN(ScriptedPromptsTest)
#include "ScriptedPromptsTest.moc"
