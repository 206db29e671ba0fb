// ファイル > 取り込み: the question about unsaved text, the dialog, the notation asked with the
// guess chosen, the result as a new untitled manuscript with unsaved changes.
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "DocumentFixture.h"
#include "TestFiles.h"
#include "documents/DocumentFiles.h"
#include "support/PlainTextEditor.h"
#include "support/ScriptedPrompts.h"

using quirtle::DocumentFiles;
using quirtle::MessageAnswer;
using quirtle::testing::PlainTextEditor;
using quirtle::testing::ScriptedPrompts;
using quirtle::testing::WriteBytes;

class DocumentImportTest : public DocumentFixture {
    Q_OBJECT

  private slots:
    void init() { Reset(); }

    void importsTheGuessedNotationAsANewUntitledText() {
        // Shift_JIS 青空文庫 text: 題 / 著者 / (blank) / 猫［＃「猫」に傍点］
        WriteBytes(Path("aozora.txt"),
                   "\x91\xe8\r\n\x92\x98\x8e\xd2\r\n\r\n\x94\x4c\x81\x6d\x81\x94\x81\x75\x94\x4c"
                   "\x81\x76\x82\xc9\x96\x54\x93\x5f\x81\x6e\r\n");
        editor_->Type(QStringLiteral("前の原稿"));
        editor_->SetModified(false);
        prompts_->fileAnswers.push_back(Path("aozora.txt"));
        prompts_->messageAnswers.push_back(MessageAnswer::Yes);  // the notation question
        files_->ImportDocument();

        QCOMPARE(prompts_->dialogs.size(), 1);
        const auto& request = prompts_->dialogs.front().request;
        QVERIFY(!prompts_->dialogs.front().save);
        QCOMPARE(request.filters.size(), 4);
        QCOMPARE(request.filters[1].description, QStringLiteral("カクヨム投稿用テキスト (*.txt)"));
        QCOMPARE(request.filters[3].pattern, QStringLiteral("*.*"));
        QCOMPARE(prompts_->choiceLists.size(), 1);
        QCOMPARE(prompts_->choiceLists[0], QStringList({"青空文庫", "カクヨム", "小説家になろう"}));
        QCOMPARE(prompts_->choiceSelections[0], 0);
        QCOMPARE(editor_->Text(), QStringLiteral(":title 題\n:author 著者\n\n_猫*\n"));
        QVERIFY(editor_->IsModified());
        QVERIFY(files_->documentPath().isEmpty());
    }

    void theChosenNotationWinsOverTheGuess() {
        WriteBytes(Path("draft.txt"), "\xEF\xBB\xBF漢字（かんじ）と《《強調》》\n");
        prompts_->fileAnswers.push_back(Path("draft.txt"));
        prompts_->messageAnswers.push_back(MessageAnswer::Yes);
        prompts_->choiceAnswers.push_back(2);  // 小説家になろう instead of the guessed カクヨム
        files_->ImportDocument();
        QCOMPARE(prompts_->choiceSelections[0], 1);
        QCOMPARE(editor_->Text(), QStringLiteral("_漢字[かんじ]と《《強調》》\n"));
    }

    void asksAboutUnsavedTextFirstAndStopsOnCancel() {
        editor_->Type(QStringLiteral("未保存"));
        prompts_->messageAnswers.push_back(MessageAnswer::Cancel);
        files_->ImportDocument();
        QCOMPARE(prompts_->messages.size(), 1);
        QCOMPARE(prompts_->messages[0].text, QStringLiteral("変更を保存しますか?"));
        QVERIFY(prompts_->dialogs.isEmpty());
        QCOMPARE(editor_->Text(), QStringLiteral("未保存"));

        // No: the dialog follows; declining the notation question changes nothing.
        WriteBytes(Path("a.txt"), "text\n");
        prompts_->messageAnswers = {MessageAnswer::No, MessageAnswer::No};
        prompts_->fileAnswers.push_back(Path("a.txt"));
        files_->ImportDocument();
        QCOMPARE(editor_->Text(), QStringLiteral("未保存"));
        QVERIFY(editor_->IsModified());
    }

    void refusesBytesThatAreNoText() {
        WriteBytes(Path("bad.txt"), "ok\n\x81\x20\n");
        prompts_->fileAnswers.push_back(Path("bad.txt"));
        files_->ImportDocument();
        QCOMPARE(prompts_->messages.size(), 1);
        QVERIFY(prompts_->messages[0].text.contains(QStringLiteral("2 行目")));
        QVERIFY(prompts_->choiceLists.isEmpty());
        QCOMPARE(editor_->Text(), QString());
    }
};

QTEST_MAIN(DocumentImportTest)
#include "DocumentImportTest.moc"
