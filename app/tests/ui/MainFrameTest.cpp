// The real main window, driven with scripted answers and a recording desktop (Xvfb).
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QTextCursor>
#include <QToolBar>
#include <QtTest>
#include <atomic>

#include "DocumentConverter.h"
#include "TestWindow.h"
#include "editing/FindBar.h"
#include "editing/MarkupHighlighter.h"
#include "editing/OutlinePanel.h"
#include "preview/PreviewPane.h"
#include "support/ScriptedPrompts.h"
#include "text/ShiftJis.h"
#include "ui/CentringSplitter.h"
#include "ui/Commands.h"
#include "ui/EditorPane.h"
#include "ui/HelpWindow.h"
#include "ui/MainFrame.h"
#include "ui/ProgramStart.h"
#include "ui/StatusCounts.h"
#include "vertical/VerticalView.h"

using namespace quirtle;
using namespace quirtle::testing;

namespace {

QByteArray TwoScripts() {
    return QByteArray("# exports\r\nHTML(&H)\tperl\tto_html.pl\t\thtml\r\n") +
           QByteArray::fromStdString(text::EncodeShiftJis(u"テキスト(&T)").bytes) +
           QByteArray("\truby\tto_text.rb\t-q\ttxt\r\n");
}

QStringList MenuTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}

// A main window whose Export menu holds two scripts unless a test gives another list.
struct Window : TestWindow {
    explicit Window(const QByteArray& scripts = TwoScripts()) : TestWindow(scripts) {}
    // Shows the window and waits until it is the active one.
    bool ShowActive() {
        frame->show();
        frame->activateWindow();
        return QTest::qWaitForWindowActive(frame.get(), 15000);
    }
};

// Counts conversions instead of converting.
// Counts its calls, which come from the preview's own thread.
struct CountingConverter {
    std::atomic<int> calls = 0;
    PreviewConverter Function() {
        return [this](const std::string&) -> std::optional<std::string> {
            return std::string("<p>") + std::to_string(++calls) + "</p>";
        };
    }
};

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT
  private slots:
    void MenusHoldEveryItemWithTextsAndKeys() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        QCOMPARE(frame.windowTitle(), QStringLiteral("quirtle"));

        QList<QMenu*> menus;
        QStringList titles;
        for (QAction* action : frame.menuBar()->actions()) {
            menus.append(action->menu());
            titles.append(action->text());
        }
        // The Parts' menus keep their order; the editor's own go between 編集 and エクスポート.
        QCOMPARE(titles,
                 QStringList({"ファイル(&F)", "編集(&E)", "検索(&S)", "表示(&V)", "書式(&M)",
                              "エクスポート(&X)", "オプション(&O)", "ヘルプ(&H)"}));
        // 取り込み follows 開く and エンコーディング the save commands; the Parts' items keep
        // their order and 終了 stays last.
        QCOMPARE(MenuTexts(menus[0]),
                 QStringList({"新規作成(&N)\tCtrl+N", "開く(&O)\tCtrl+O", "取り込み(&I)...",
                              "上書き保存(&S)\tCtrl+S", "名前をつけて保存(&A)",
                              "エンコーディング(&E)", "-", "終了(&x)"}));
        QCOMPARE(MenuTexts(menus[1]),
                 QStringList({"元に戻す(&U)\tCtrl+Z", "やり直し(&R)\tCtrl+Y", "-",
                              "切り取り(&T)\tCtrl+X", "コピー(&C)\tCtrl+C", "貼り付け(&P)\tCtrl+V",
                              "-", "すべて選択(&A)\tCtrl+A", "-", "外部エディタ起動(&E)\tCtrl+E"}));
        QCOMPARE(MenuTexts(menus[2]),
                 QStringList({"検索(&F)\tCtrl+F", "次を検索(&N)\tF3", "前を検索(&P)\tShift+F3", "-",
                              "置換(&R)\tCtrl+H", "すべて置換(&A)\tCtrl+Alt+Return"}));
        QCOMPARE(MenuTexts(menus[3]),
                 QStringList({"見出し一覧(&O)", "-", "拡大(&I)\tCtrl++", "縮小(&D)\tCtrl+-",
                              "標準の大きさ(&Z)\tCtrl+0", "-", "縦書きで編集(&T)\tCtrl+T",
                              "原稿用紙(&G)"}));
        QCOMPARE(MenuTexts(menus[4]), QStringList({"ルビ(&R)\tCtrl+R", "傍点(&B)\tCtrl+B"}));
        QCOMPARE(MenuTexts(menus[kExportMenuIndex]),
                 QStringList({"プレビュー(&C)", "-", "HTML(&H)", "テキスト(&T)"}));
        QCOMPARE(MenuTexts(menus[6]), QStringList({"外部エディタ設定(&E)", "自動プレビュー(&A)"}));
        QCOMPARE(MenuTexts(menus[7]), QStringList({"目次(&C)", "-", "quirtleについて(&A)"}));
        QCOMPARE(menus[kExportMenuIndex]->actions()[2]->data().toInt(), 3280);
        QCOMPARE(menus[kExportMenuIndex]->actions()[3]->data().toInt(), 3281);

        // Status-bar prompts: the string before its newline; none for the own commands.
        QCOMPARE(probe.MenuAction(command::kSaveAs)->statusTip(),
                 QStringLiteral("Save the active document with a new name"));
        QCOMPARE(probe.MenuAction(command::kExit)->statusTip(),
                 QStringLiteral("Quit the application; prompts to save documents"));
        QCOMPARE(probe.MenuAction(command::kPreview)->statusTip(), QString());
        QCOMPARE(probe.ReadyLabel()->text(), QStringLiteral("Ready"));

        // Accelerators, several keys where listed; Ctrl+P, F6, Shift+F6 without items.
        const QList<std::pair<int, QString>> keys = {
            {command::kNew, "Ctrl+N"},
            {command::kOpen, "Ctrl+O"},
            {command::kSave, "Ctrl+S"},
            {command::kUndo, "Ctrl+Z, Alt+Backspace"},
            {command::kRedo, "Ctrl+Y"},
            {command::kCut, "Ctrl+X, Shift+Del"},
            {command::kCopy, "Ctrl+C, Ctrl+Ins"},
            {command::kPaste, "Ctrl+V, Shift+Ins"},
            {command::kSelectAll, "Ctrl+A"},
            {command::kLaunchExternalEditor, "Ctrl+E"},
            {command::kPrint, "Ctrl+P"},
            {command::kNextPane, "F6"},
            {command::kPreviousPane, "Shift+F6"},
        };
        for (const auto& [id, expected] : keys) {
            QAction* accelerator = probe.AcceleratorAction(id);
            QVERIFY2(accelerator, qPrintable(expected));
            QStringList labels;
            for (const QKeySequence& key : accelerator->shortcuts()) {
                labels.append(key.toString(QKeySequence::PortableText));
            }
            QCOMPARE(labels.join(QStringLiteral(", ")), expected);
        }
        QVERIFY(!probe.AcceleratorAction(command::kSaveAs));

        // Toolbar: leading separator, buttons and separators in order, tooltips.
        QStringList buttons;
        for (QAction* action : probe.ToolBar()->actions()) {
            buttons.append(action->isSeparator() ? QStringLiteral("-") : action->toolTip());
            if (!action->isSeparator()) QVERIFY(!action->icon().isNull());
        }
        QCOMPARE(buttons, QStringList({"-", "New", "Open", "Save", "-", "Cut", "Copy", "Paste", "-",
                                       "About"}));
    }

    // The vertical view is a second view of the one document: switching keeps the text, the
    // cursor and selection, the undo history and the unsaved-changes flag, and the commands
    // of the window act on what the author sees.
    void VerticalViewSharesTheDocument() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        QVERIFY(window.ShowActive());
        EditorPane& editor = probe.Editor();
        vertical::VerticalView& view = probe.Vertical();
        QAction* paper = probe.MenuAction(command::kManuscriptPaper);
        frame.UpdateMenuStates();
        QVERIFY(!paper->isEnabled());
        editor.setFocus();
        QTRY_VERIFY(editor.hasFocus());
        editor.insertPlainText(u"吾輩は猫である。\n名前はまだ無い。"_qs);
        QTextCursor cursor = editor.textCursor();
        cursor.setPosition(3);
        cursor.setPosition(5, QTextCursor::KeepAnchor);
        editor.setTextCursor(cursor);

        QTest::keyClick(&editor, Qt::Key_T, Qt::ControlModifier);
        QTRY_VERIFY(view.isVisible());
        QVERIFY(!editor.isVisible());
        QVERIFY(view.hasFocus());
        QVERIFY(probe.MenuAction(command::kVertical)->isChecked());
        QVERIFY(paper->isEnabled());
        QCOMPARE(editor.textCursor().anchor(), 3);
        QCOMPARE(editor.textCursor().position(), 5);
        // Typing over the selection, then undoing in the vertical view.
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, u"犬"_qs);
        QApplication::sendEvent(&view, &typed);
        QCOMPARE(editor.Text(), u"吾輩は犬ある。\n名前はまだ無い。"_qs);
        frame.RunCommand(command::kUndo);
        QCOMPARE(editor.Text(), u"吾輩は猫である。\n名前はまだ無い。"_qs);
        frame.RunCommand(command::kRedo);
        QVERIFY(editor.IsModified());
        // The find bar lands on its match in the view shown.
        frame.RunCommand(command::kFind);
        probe.FindBar().FindField().setText(u"無い"_qs);
        emit probe.FindBar().FindField().textEdited(u"無い"_qs);
        QCOMPARE(editor.textCursor().selectedText(), u"無い"_qs);
        QTest::keyClick(&probe.FindBar().FindField(), Qt::Key_Escape);
        QTRY_VERIFY(view.hasFocus());

        // Manuscript paper: 20 cells a column; the menu item follows.
        frame.RunCommand(command::kManuscriptPaper);
        QVERIFY(paper->isChecked());
        QCOMPARE(view.CellsPerColumn(), 20);
        // Its last page number is the status bar's page count.
        const QTextCursor kept = editor.textCursor();
        QString more;
        for (int line = 0; line < 30; ++line)
            more += u"\n「_吾輩[わがはい]は猫である」と"_qs + QString(line % 25, u'猫');
        QTextCursor end = editor.textCursor();
        end.movePosition(QTextCursor::End);
        end.insertText(more);
        editor.setTextCursor(end);  // no selection: the whole text counts
        frame.PreviewTick();
        QVERIFY(view.PaperPages() > 1);
        QTRY_COMPARE(probe.Counts().PagesLabel()->text(),
                     QStringLiteral("原稿用紙 %1 枚").arg(view.PaperPages()));
        frame.RunCommand(command::kUndo);
        editor.setTextCursor(kept);

        // And back: the same text, selection, history and flag.
        frame.RunCommand(command::kVertical);
        QVERIFY(editor.isVisible());
        QVERIFY(!view.isVisible());
        QTRY_VERIFY(editor.hasFocus());
        QCOMPARE(editor.textCursor().selectedText(), u"無い"_qs);
        QVERIFY(editor.IsModified());
        frame.RunCommand(command::kUndo);
        QCOMPARE(editor.Text(), u"吾輩は猫である。\n名前はまだ無い。"_qs);
        editor.SetModified(false);
    }

    // The editor's own commands, as an author reaches them in the window.
    void EditorCommandsFindOutlineMarksAndRuby() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        QVERIFY(window.ShowActive());
        EditorPane& editor = probe.Editor();
        QString text;
        for (int chapter = 1; chapter <= 5; ++chapter)
            text += QStringLiteral("** 第%1章\n三毛子は猫である。三毛子と呼ぶ。\n\n").arg(chapter);
        text += u"*見出し\n"_qs;
        editor.ReplaceText(text);
        editor.setFocus();

        // Ctrl+H: the bar with its replace field; replace all is one undo step.
        QTest::keyClick(&editor, Qt::Key_H, Qt::ControlModifier);
        editing::FindBar& bar = probe.FindBar();
        QVERIFY(bar.isVisible());
        QVERIFY(bar.ReplaceShown());
        QVERIFY(bar.FindField().hasFocus());
        // The edit keys edit the field, not the manuscript.
        QApplication::clipboard()->setText(u"三毛子"_qs);
        QTest::keyClick(&bar.FindField(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&bar.FindField(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(bar.FindField().text(), u"三毛子"_qs);
        QCOMPARE(editor.Text(), text);
        bar.ReplaceField().setText(u"ミケ"_qs);
        QTest::keyClick(&bar.ReplaceField(), Qt::Key_Return, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(editor.Text().count(u"ミケ"_qs), 10);
        QCOMPARE(frame.statusBar()->currentMessage(), u"10 件置換しました"_qs);
        QTest::keyClick(&bar.FindField(), Qt::Key_Escape);
        QVERIFY(!bar.isVisible());
        QVERIFY(editor.hasFocus());
        frame.RunCommand(command::kUndo);
        QCOMPARE(editor.Text(), text);

        // The outline, from the tick's analysis: a click goes to the chapter.
        frame.RunCommand(command::kOutline);
        QVERIFY(probe.MenuAction(command::kOutline)->isChecked());
        editing::OutlinePanel& outline = probe.Outline();
        QTRY_COMPARE(outline.topLevelItemCount(), 5);
        QCOMPARE(outline.topLevelItem(2)->text(0), u"第3章"_qs);
        QCOMPARE(outline.topLevelItem(4)->child(0)->text(0), u"× *見出し"_qs);
        outline.GoTo(outline.topLevelItem(2));
        QCOMPARE(editor.textCursor().blockNumber(), 6);
        QCOMPARE(outline.currentItem(), outline.topLevelItem(2));
        // The rejected line is marked, the others are not.
        QCOMPARE(probe.Highlighter().Rejection(15), statusNoSpaceAfterMarker);
        QCOMPARE(probe.Highlighter().Rejection(0), 0);

        // Ctrl+R on a selected word asks for its reading.
        QTextCursor word(editor.document()->findBlockByNumber(1));
        word.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor, 3);
        editor.setTextCursor(word);
        QString asked;
        probe.SetReadingQuestion([&asked](const QString& base) -> std::optional<QString> {
            asked = base;
            return u"みけこ"_qs;
        });
        QTest::keyClick(&editor, Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(asked, u"三毛子"_qs);
        QCOMPARE(editor.document()->findBlockByNumber(1).text(),
                 u"_三毛子[みけこ]は猫である。三毛子と呼ぶ。"_qs);
        // Zoom acts on the editor's font while the editor has the focus.
        const int points = editor.PointSize();
        QTest::keyClick(&editor, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(editor.PointSize(), points + 1);
        frame.RunCommand(command::kZoomReset);
        QCOMPARE(editor.PointSize(), points);
        editor.SetModified(false);
    }

    void StatusBarPromptsComeFromMenuItemsOnly() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));

        // A highlighted menu item shows its prompt...
        probe.MenuAction(command::kNew)->showStatusText(&frame);
        QCOMPARE(frame.statusBar()->currentMessage(), QStringLiteral("Create a new document"));
        frame.statusBar()->clearMessage();

        // ...the mouse over a toolbar button only brings its tooltip.
        QWidget* button = probe.ToolBar()->widgetForAction(probe.ToolbarAction(command::kNew));
        QVERIFY(button);
        const QPointF inside(button->rect().center());
        QEnterEvent enter(inside, inside, button->mapToGlobal(inside));
        QApplication::sendEvent(button, &enter);
        QCOMPARE(frame.statusBar()->currentMessage(), QString());
        QVERIFY(probe.ReadyLabel()->isVisibleTo(&frame));
        QCOMPARE(button->toolTip(), QStringLiteral("New"));
    }

    void MenuItemWithoutPromptEmptiesTheStatusBar() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QMenu* exportMenu = frame.menuBar()->actions()[kExportMenuIndex]->menu();
        exportMenu->popup(frame.mapToGlobal(QPoint(40, 40)));
        QTRY_VERIFY(exportMenu->isVisible());
        exportMenu->setActiveAction(probe.MenuAction(command::kPreview));
        QTRY_VERIFY(!probe.ReadyLabel()->isVisible());
        QCOMPARE(frame.statusBar()->currentMessage(), QString());
        // The counts stay where they are.
        QVERIFY(probe.Counts().CharactersLabel()->isVisible());
        exportMenu->close();
        QTRY_VERIFY(probe.ReadyLabel()->isVisible());
    }

    void EmptyScriptListKeepsTheSeparatorVisible() {
        Window window{QByteArray("")};
        QVERIFY(window.Create());
        window.frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.frame.get()));
        QMenu* exportMenu = window.frame->menuBar()->actions()[kExportMenuIndex]->menu();
        QCOMPARE(MenuTexts(exportMenu), QStringList({"プレビュー(&C)", "-"}));
        exportMenu->popup(window.frame->mapToGlobal(QPoint(40, 40)));
        QTRY_VERIFY(exportMenu->isVisible());
        QAction* separator = exportMenu->actions()[1];
        QVERIFY(!exportMenu->actionGeometry(separator).isEmpty());
        exportMenu->close();
    }

    void CountsFollowTheTextAtTheTickAndTheSelection() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        QLabel* characters = probe.Counts().CharactersLabel();
        QLabel* pages = probe.Counts().PagesLabel();
        QCOMPARE(characters->text(), QStringLiteral("0 文字"));
        QCOMPARE(pages->text(), QStringLiteral("原稿用紙 0 枚"));
        probe.PreviewTimer().stop();  // the test runs the ticks itself

        // 25 heading characters (2 lines), a 30-character paragraph with ruby (2 lines):
        // the reading, the markers and the comment do not count.
        const QString heading = QString(25, u'見');
        const QString body = QString(28, u'雨') + QStringLiteral("_駅舎[えきしゃ]");
        probe.Editor().ReplaceText(u"* "_qs + heading + u"\n# メモ\n"_qs + body);
        QCOMPARE(characters->text(), QStringLiteral("0 文字"));  // not per keystroke
        // With the preview, the counts are taken on the preview's thread.
        frame.PreviewTick();
        QTRY_COMPARE(characters->text(), QStringLiteral("55 文字"));
        QCOMPARE(pages->text(), QStringLiteral("原稿用紙 1 枚"));

        // A longer text: 1,000 paragraphs of one character fill 50 pages.
        probe.Editor().ReplaceText(QStringLiteral("あ\n").repeated(1000));
        frame.PreviewTick();
        QTRY_COMPARE(characters->text(), QStringLiteral("1,000 文字"));
        QCOMPARE(pages->text(), QStringLiteral("原稿用紙 50 枚"));

        // With a selection, the selection is counted.
        QTextCursor cursor = probe.Editor().textCursor();
        cursor.setPosition(0);
        cursor.setPosition(6, QTextCursor::KeepAnchor);  // three lines: あ, あ, あ
        probe.Editor().setTextCursor(cursor);
        frame.PreviewTick();
        QCOMPARE(characters->text(), QStringLiteral("選択 3 文字"));
        QCOMPARE(pages->text(), QStringLiteral("原稿用紙 1 枚"));
        cursor.clearSelection();
        probe.Editor().setTextCursor(cursor);
        frame.PreviewTick();
        QCOMPARE(characters->text(), QStringLiteral("1,000 文字"));

        // Automatic preview off: the counts still follow.
        frame.RunCommand(command::kAutoPreview);
        probe.Editor().ReplaceText(QStringLiteral("abc"));
        frame.PreviewTick();
        QCOMPARE(characters->text(), QStringLiteral("3 文字"));
    }

    void ScriptListFailureRefusesTheWindow() {
        Window broken(QByteArray("good\tp\ts\t\thtml\r\nbad line\r\n"));
        QVERIFY(!broken.Create());
        QCOMPARE(broken.prompts.messages.size(), 1);
        QCOMPARE(broken.prompts.messages[0].text, QStringLiteral("Failed to load script.cfg"));
        QCOMPARE(broken.prompts.messages[0].caption, QStringLiteral("Error"));
        QCOMPARE(broken.prompts.messages[0].buttons, MessageButtons::Ok);

        Window missing;
        missing.folder.RemoveFile(QStringLiteral("script.cfg"));
        QVERIFY(!missing.Create());
        QCOMPARE(missing.prompts.messages.size(), 1);

        Window empty(QByteArray(""));
        QVERIFY(empty.Create());
        QCOMPARE(MenuTexts(empty.frame->menuBar()->actions()[kExportMenuIndex]->menu()),
                 QStringList({"プレビュー(&C)", "-"}));
    }

    void TimerRefreshesOncePerTickAfterChanges() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        CountingConverter counter;
        frame.SetPreviewConverter(counter.Function());
        QVERIFY(probe.PreviewTimer().isActive());
        QCOMPARE(probe.PreviewTimer().interval(), 1000);
        QVERIFY(probe.AutoPreview());
        QVERIFY(!probe.TextChanged());

        frame.PreviewTick();  // nothing changed yet: the page keeps its own content
        QVERIFY(!frame.PreviewInProgress());
        QCOMPARE(counter.calls.load(), 0);

        QTest::keyClicks(&probe.Editor(), QStringLiteral("abc"));
        probe.Editor().textCursor().insertText(QStringLiteral("def"));
        QVERIFY(probe.TextChanged());
        frame.PreviewTick();
        QVERIFY(!probe.TextChanged());
        QTRY_VERIFY_WITH_TIMEOUT(!frame.PreviewInProgress(), 15000);
        QCOMPARE(counter.calls.load(), 1);
        frame.PreviewTick();
        QVERIFY(!frame.PreviewInProgress());
        QCOMPARE(counter.calls.load(), 1);

        // Auto preview off: edits leave the page alone until it is switched on again.
        frame.RunCommand(command::kAutoPreview);
        QVERIFY(!probe.AutoPreview());
        frame.UpdateMenuStates();
        QVERIFY(!probe.MenuAction(command::kAutoPreview)->isChecked());
        probe.Editor().textCursor().insertText(QStringLiteral("x"));
        frame.PreviewTick();
        QVERIFY(!frame.PreviewInProgress());
        QCOMPARE(counter.calls.load(), 1);
        QVERIFY(probe.TextChanged());

        // The manual preview works with auto preview off and leaves textChanged set.
        frame.RunCommand(command::kPreview);
        QTRY_VERIFY_WITH_TIMEOUT(!frame.PreviewInProgress(), 15000);
        QCOMPARE(counter.calls.load(), 2);
        QVERIFY(probe.TextChanged());
        frame.RunCommand(command::kAutoPreview);
        QVERIFY(probe.MenuAction(command::kAutoPreview)->isChecked());
        frame.PreviewTick();
        QTRY_VERIFY_WITH_TIMEOUT(!frame.PreviewInProgress(), 15000);
        QCOMPARE(counter.calls.load(), 3);
        QVERIFY(!probe.TextChanged());

        // The real timer: many changes, then one refresh within a tick or two.
        QSignalSpy updates(&frame, &MainFrame::PreviewUpdated);
        QSignalSpy ticks(&probe.PreviewTimer(), &QTimer::timeout);
        for (int i = 0; i < 5; ++i) probe.Editor().textCursor().insertText(QStringLiteral("y"));
        QTRY_COMPARE_WITH_TIMEOUT(updates.size(), 1, 15000);
        const int ticksAtUpdate = ticks.size();
        QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= ticksAtUpdate + 2, 15000);
        QCOMPARE(updates.size(), 1);
    }

    void MenuStatesFollowTheEditor() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        EditorPane& editor = probe.Editor();
        QGuiApplication::clipboard()->clear();

        frame.UpdateMenuStates();
        for (const int id : {command::kCut, command::kCopy, command::kUndo, command::kRedo}) {
            QVERIFY2(!probe.MenuAction(id)->isEnabled(), qPrintable(QString::number(id)));
            QVERIFY(probe.ToolbarAction(id) == nullptr || probe.ToolbarAction(id)->isEnabled());
        }
        QVERIFY(probe.ToolbarAction(command::kCut)->isEnabled());
        QVERIFY(probe.MenuAction(command::kSelectAll)->isEnabled());
        QVERIFY(probe.MenuAction(command::kAutoPreview)->isChecked());

        editor.textCursor().insertText(QStringLiteral("本文"));
        frame.RunCommand(command::kSelectAll);
        frame.UpdateMenuStates();
        QVERIFY(probe.MenuAction(command::kCut)->isEnabled());
        QVERIFY(probe.MenuAction(command::kCopy)->isEnabled());
        QVERIFY(probe.MenuAction(command::kUndo)->isEnabled());
        QVERIFY(!probe.MenuAction(command::kPaste)->isEnabled());

        frame.RunCommand(command::kCopy);
        frame.RunCommand(command::kUndo);
        QCOMPARE(editor.Text(), QString());
        frame.UpdateMenuStates();
        QVERIFY(probe.MenuAction(command::kRedo)->isEnabled());
        QVERIFY(probe.MenuAction(command::kPaste)->isEnabled());
        frame.RunCommand(command::kRedo);
        QCOMPARE(editor.Text(), QStringLiteral("本文"));

        // The states are set when the popup opens.
        QMenu* edit = frame.menuBar()->actions()[1]->menu();
        editor.moveCursor(QTextCursor::End);
        emit edit->aboutToShow();
        QVERIFY(!probe.MenuAction(command::kCut)->isEnabled());
        QVERIFY(probe.ToolbarAction(command::kCut)->isEnabled());

        // After New the history is empty and Undo greyed.
        editor.SetModified(false);
        frame.RunCommand(command::kNew);
        frame.UpdateMenuStates();
        QVERIFY(!probe.MenuAction(command::kUndo)->isEnabled());
    }

    void EditKeysReachTheEditorFromThePreview() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        QVERIFY(window.ShowActive());

        // Neither pane has the focus before the user clicks into one.
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus != &probe.Editor());
        QVERIFY(!probe.Preview().isAncestorOf(focus) && focus != &probe.Preview());

        probe.Editor().ReplaceText(QStringLiteral("選択した文"));
        QTextCursor cursor = probe.Editor().textCursor();
        cursor.setPosition(0);
        cursor.setPosition(3, QTextCursor::KeepAnchor);
        probe.Editor().setTextCursor(cursor);
        QGuiApplication::clipboard()->clear();

        QWidget* browser =
            probe.Preview().focusProxy() ? probe.Preview().focusProxy() : &probe.Preview();
        browser->setFocus();
        QTRY_VERIFY(browser->hasFocus());
        QTest::keyClick(browser, Qt::Key_C, Qt::ControlModifier);
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("選択し"));

        // Ctrl+A from the preview selects the editor's text.
        QTest::keyClick(browser, Qt::Key_A, Qt::ControlModifier);
        QTRY_COMPARE(probe.Editor().textCursor().selectedText(), QStringLiteral("選択した文"));
    }

    void ClosingRuleAnswers() {
        {  // no changes: no question
            Window window;
            QVERIFY(window.Create());
            window.frame->show();
            QVERIFY(window.frame->close());
            QVERIFY(window.prompts.messages.isEmpty());
        }
        {  // Cancel keeps the window; No closes without writing
            Window window;
            QVERIFY(window.Create());
            window.frame->show();
            window.Probe().Editor().textCursor().insertText(QStringLiteral("原稿"));
            window.prompts.messageAnswers = {MessageAnswer::Cancel, MessageAnswer::No};
            QVERIFY(!window.frame->close());
            QVERIFY(window.frame->isVisible());
            QCOMPARE(window.prompts.messages[0].text, QStringLiteral("変更を保存しますか?"));
            QCOMPARE(window.prompts.messages[0].caption, QStringLiteral("確認"));
            QCOMPARE(window.prompts.messages[0].buttons, MessageButtons::YesNoCancel);
            window.frame->RunCommand(command::kExit);
            QVERIFY(!window.frame->isVisible());
            QVERIFY(window.prompts.dialogs.isEmpty());
        }
        {  // Yes on an untitled text: the save dialog; cancelling it keeps everything
            Window window;
            QVERIFY(window.Create());
            window.frame->show();
            window.Probe().Editor().textCursor().insertText(QStringLiteral("原稿"));
            window.prompts.messageAnswers = {MessageAnswer::Yes, MessageAnswer::Yes};
            window.prompts.fileAnswers = {std::nullopt,
                                          window.folder.Path() + QStringLiteral("saved.txt")};
            QVERIFY(!window.frame->close());
            QCOMPARE(window.Probe().Editor().Text(), QStringLiteral("原稿"));
            QVERIFY(window.Probe().Editor().IsModified());
            QCOMPARE(window.prompts.dialogs[0].request.initialName, QStringLiteral("無題"));
            // ...and a chosen name writes the file and closes.
            QVERIFY(window.frame->close());
            QFile saved(window.folder.Path() + QStringLiteral("saved.txt"));
            QVERIFY(saved.open(QIODevice::ReadOnly));
            QCOMPARE(saved.readAll(), QByteArray("\x8c\xb4\x8d\x65"));
        }
    }

    // The status bar and ファイル > エンコーディング follow the manuscript's encoding: a UTF-8
    // file, the menu's choice, the question at saving, New.
    void EncodingShowsInTheStatusBarAndTheMenu() {
        Window window;
        QVERIFY(window.Create());
        WindowProbe probe(*window.frame);
        QAction* shiftJis = probe.MenuAction(command::kEncodingShiftJis);
        QAction* utf8 = probe.MenuAction(command::kEncodingUtf8);
        QVERIFY(shiftJis && utf8 && shiftJis->actionGroup() == utf8->actionGroup());
        auto shows = [&](const QString& name) {
            return probe.EncodingLabel()->text() == name &&
                   shiftJis->isChecked() == (name == "Shift_JIS") &&
                   utf8->isChecked() == (name == "UTF-8");
        };
        QVERIFY(shows(QStringLiteral("Shift_JIS")));
        const QString path = window.folder.Path() + QStringLiteral("utf8.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\xEF\xBB\xBF\xF0\xA0\xAE\x9F\r\n");  // BOM, "𠮟"
        file.close();
        window.prompts.fileAnswers = {path};
        window.frame->RunCommand(command::kOpen);
        QCOMPARE(probe.Editor().Text(), QStringLiteral("𠮟\n"));
        QVERIFY(shows(QStringLiteral("UTF-8")));
        window.frame->RunCommand(command::kEncodingShiftJis);
        QVERIFY(shows(QStringLiteral("Shift_JIS")));
        // Shift_JIS cannot hold it: asked again, and UTF-8 once more, the BOM kept.
        window.prompts.messageAnswers = {MessageAnswer::Ok};
        window.frame->RunCommand(command::kSave);
        QCOMPARE(window.prompts.messages.size(), 1);
        QVERIFY(shows(QStringLiteral("UTF-8")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("\xEF\xBB\xBF\xF0\xA0\xAE\x9F\r\n"));
        window.frame->RunCommand(command::kNew);
        QVERIFY(shows(QStringLiteral("Shift_JIS")));
    }

    void SplitterStartsHalfAndRightPaneTakesResizes() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        QCOMPARE(probe.Splitter().BarPosition(), frame.width() / 2);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const int bar = probe.Splitter().BarPosition();
        const int editorWidth = probe.Editor().width();
        frame.resize(frame.width() + 160, frame.height());
        QTRY_COMPARE(probe.Splitter().width(), frame.width());
        QCOMPARE(probe.Splitter().BarPosition(), bar);
        QCOMPARE(probe.Editor().width(), editorWidth);
    }

    void HelpOpensTheManualBesideTheProgramOrNothing() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        frame.RunCommand(command::kHelpContents);  // no manual: nothing at all
        QVERIFY(probe.Help() == nullptr);
        QVERIFY(window.desktop.openedFiles.isEmpty());

        // The manual as the build makes it.
        QFile built(QStringLiteral(QUIRTLE_MANUAL));
        QVERIFY(built.open(QIODevice::ReadOnly));
        window.folder.WriteFile(MainFrame::ManualFileName(), built.readAll());
        frame.RunCommand(command::kHelpContents);
        HelpWindow* help = probe.Help();
        QVERIFY(help);
        QVERIFY(help->isWindow());
        QVERIFY(!help->isModal());
        QTRY_VERIFY_WITH_TIMEOUT(help->isVisible(), 15000);
        QCOMPARE(help->ManualUrl(),
                 QUrl::fromLocalFile(window.folder.Path() + MainFrame::ManualFileName()));
        QTRY_COMPARE_WITH_TIMEOUT(help->title(), QStringLiteral("quirtle マニュアル"), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(
            Evaluate(help->page(), QStringLiteral("document.querySelectorAll('h2').length"))
                    .toInt() > 5,
            15000);
        // Beside the main window, not over it.
        QVERIFY2(!help->frameGeometry().contains(frame.frameGeometry().center()),
                 "help window covers the main window's middle");

        // Closed and opened again, or opened twice: the same one window comes up.
        help->close();
        frame.RunCommand(command::kHelpContents);
        QCOMPARE(probe.Help(), help);
        QTRY_VERIFY(help->isVisible());
        frame.activateWindow();
        frame.RunCommand(command::kHelpContents);
        QCOMPARE(probe.Help(), help);
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(),
                               [](QWidget* w) { return qobject_cast<HelpWindow*>(w) != nullptr; }),
                 1);
        QVERIFY(window.prompts.messages.isEmpty());
        QVERIFY(window.desktop.openedFiles.isEmpty());
    }

    void ScriptItemsReachTheExportCommand() {
        Window window;
        QVERIFY(window.Create());
        window.Probe().Editor().ReplaceText(QStringLiteral("本文"));
        window.prompts.fileAnswers = {std::nullopt};
        window.frame->menuBar()->actions()[kExportMenuIndex]->menu()->actions()[3]->trigger();
        QCOMPARE(window.prompts.dialogs.size(), 1);
        QVERIFY(window.prompts.dialogs[0].save);
        QCOMPARE(window.prompts.dialogs[0].request.defaultSuffix, QStringLiteral("txt"));
        QVERIFY(window.desktop.openedFiles.isEmpty());
    }

    void UnknownCommandsDoNothing() {
        Window window;
        QVERIFY(window.Create());
        window.Probe().Editor().ReplaceText(QStringLiteral("text"));
        for (const int id : {command::kPrint, command::kNextPane, command::kPreviousPane, 1}) {
            window.frame->RunCommand(id);
        }
        QCOMPARE(window.Probe().Editor().Text(), QStringLiteral("text"));
        QVERIFY(window.prompts.messages.isEmpty());
        QVERIFY(window.desktop.openedFiles.isEmpty());
    }
};

int main(int argc, char* argv[]) {
    quirtle::PrepareWebEngine();
    QApplication application(argc, argv);
    MainFrameTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "MainFrameTest.moc"
