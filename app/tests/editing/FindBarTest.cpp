// The find bar on a real editor: incremental search, wrapping, replacing, the options and
// the bar's keys; and the outline panel beside it.
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTextBlock>
#include <QtTest>

#include "EditingTests.h"
#include "editing/FindBar.h"
#include "editing/ManuscriptAnalysis.h"
#include "editing/OutlinePanel.h"
#include "text/ShiftJis.h"
#include "text/Utf8ShiftJis.h"

using namespace quirtle;
using namespace quirtle::editing;

namespace {

struct Editor {
    QWidget window;
    QPlainTextEdit* text = new QPlainTextEdit(&window);
    FindBar* bar = new FindBar(*text, &window);
    explicit Editor(const QString& content) {
        text->setPlainText(content);
        window.show();
    }
    QString Selected() const { return text->textCursor().selectedText(); }
    qsizetype SelectionStart() const { return text->textCursor().selectionStart(); }
    void Type(const QString& pattern) {
        // As typed: the field's edit signal, which the key clicks of Japanese cannot give.
        bar->FindField().setText(pattern);
        emit bar->FindField().textEdited(pattern);
    }
};

}  // namespace

void FindBarTest::IncrementalSearchAndWrapping() {
    Editor editor(u"猫は猫。ネコもねこ。猫\nＮＥＫＯ neko"_qs);
    QSignalSpy notices(editor.bar, &FindBar::Notice);
    editor.bar->Open(false);
    QVERIFY(editor.bar->isVisible());
    QVERIFY(!editor.bar->ReplaceShown());
    // Typing finds as it goes; the match found so far stays while it still matches.
    editor.Type(u"猫"_qs);
    QCOMPARE(editor.SelectionStart(), qsizetype{0});
    QCOMPARE(editor.bar->CountText(), u"3 件中 1 件目"_qs);
    editor.Type(u"猫。"_qs);
    QCOMPARE(editor.SelectionStart(), qsizetype{2});
    QCOMPARE(editor.bar->CountText(), u"1 件中 1 件目"_qs);
    editor.Type(u"猫"_qs);
    QCOMPARE(editor.SelectionStart(), qsizetype{2});
    QCOMPARE(editor.bar->CountText(), u"3 件中 2 件目"_qs);
    QVERIFY(editor.bar->FindNext());
    QCOMPARE(editor.SelectionStart(), qsizetype{10});
    QCOMPARE(notices.count(), 0);
    // Past the last match it wraps round with a note, both ways.
    QVERIFY(editor.bar->FindNext());
    QCOMPARE(editor.SelectionStart(), qsizetype{0});
    QCOMPARE(notices.count(), 1);
    QVERIFY(editor.bar->FindPrevious());
    QCOMPARE(editor.SelectionStart(), qsizetype{10});
    QCOMPARE(notices.count(), 2);
    // Width and case: on by default ＮＥＫＯ finds neko; with case NEKO does not.
    editor.Type(u"neko"_qs);
    QCOMPARE(editor.bar->CountText(), u"2 件中 1 件目"_qs);
    QCOMPARE(editor.Selected(), u"ＮＥＫＯ"_qs);
    editor.bar->WidthOption().setChecked(false);
    QCOMPARE(editor.bar->CountText(), u"1 件"_qs);
    editor.bar->CaseOption().setChecked(true);
    editor.Type(u"NEKO"_qs);
    QCOMPARE(editor.bar->CountText(), u"見つかりません"_qs);
    QVERIFY(!editor.bar->FindNext());

    // Opened again, the bar starts with the selection.
    QTextCursor cursor = editor.text->textCursor();
    cursor.setPosition(4);
    cursor.setPosition(6, QTextCursor::KeepAnchor);
    editor.text->setTextCursor(cursor);
    editor.bar->Open(false);
    QCOMPARE(editor.bar->FindField().text(), u"ネコ"_qs);
}

void FindBarTest::ReplaceOneAndAllAsOneUndoStep() {
    QString text;
    for (int i = 0; i < 500; ++i) text += u"三毛子は三毛子。\n"_qs;
    Editor editor(text);
    QSignalSpy notices(editor.bar, &FindBar::Notice);
    editor.bar->Open(true);
    QVERIFY(editor.bar->ReplaceShown());
    editor.Type(u"三毛子"_qs);
    editor.bar->ReplaceField().setText(u"ミケ"_qs);
    // Replacing one: the selected match, then the next is selected.
    editor.bar->ReplaceCurrent();
    QVERIFY(editor.text->toPlainText().startsWith(u"ミケは三毛子。"_qs));
    QCOMPARE(editor.Selected(), u"三毛子"_qs);
    QCOMPARE(editor.SelectionStart(), qsizetype{3});
    QCOMPARE(editor.bar->CountText(), u"999 件中 1 件目"_qs);
    QCOMPARE(editor.bar->ReplaceAll(), 999);
    QCOMPARE(notices.last().first().toString(), u"999 件置換しました"_qs);
    QCOMPARE(editor.text->toPlainText().count(u"ミケ"_qs), 1000);
    QCOMPARE(editor.bar->CountText(), u"見つかりません"_qs);
    editor.text->undo();
    QCOMPARE(editor.text->toPlainText().count(u"ミケ"_qs), 1);
    editor.text->undo();
    QCOMPARE(editor.text->toPlainText(), text);
}

void FindBarTest::ReplaceAllWithinTheSelection() {
    Editor editor(u"猫\n猫 猫\n猫 猫\n猫"_qs);
    QTextCursor lines(editor.text->document()->findBlockByNumber(1));
    lines.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    lines.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    editor.text->setTextCursor(lines);
    // A selection of several lines is where to replace.
    editor.bar->Open(true);
    QVERIFY(editor.bar->SelectionOption().isChecked());
    editor.Type(u"猫"_qs);
    editor.bar->ReplaceField().setText(u"犬"_qs);
    QCOMPARE(editor.bar->ReplaceAll(), 4);
    QCOMPARE(editor.text->toPlainText(), u"猫\n犬 犬\n犬 犬\n猫"_qs);
    // The limit still covers the replaced lines: nothing more to find in it.
    editor.bar->ReplaceField().setText(u"x"_qs);
    QCOMPARE(editor.bar->ReplaceAll(), 0);
    editor.bar->SelectionOption().setChecked(false);
    QCOMPARE(editor.bar->ReplaceAll(), 2);
}

void FindBarTest::RegularReplacementAndInvalidPattern() {
    Editor editor(u"_猫[ねこ]と_犬[いぬ]\n_鳥[とり]"_qs);
    editor.bar->Open(true);
    editor.bar->RegularOption().setChecked(true);
    editor.Type(u"_(.)\\[(.+?)\\]"_qs);
    QCOMPARE(editor.bar->CountText(), u"3 件中 1 件目"_qs);
    editor.bar->ReplaceField().setText(u"\\1(\\2)"_qs);
    QCOMPARE(editor.bar->ReplaceAll(), 3);
    QCOMPARE(editor.text->toPlainText(), u"猫(ねこ)と犬(いぬ)\n鳥(とり)"_qs);
    // An invalid expression says why, in red, and finds nothing.
    editor.Type(u"(猫"_qs);
    QVERIFY(editor.bar->CountText().contains(u"文字目"_qs));
    QVERIFY(editor.bar->FindField().styleSheet().contains(u"red"_qs));
    QVERIFY(!editor.bar->FindNext());
    QCOMPARE(editor.bar->ReplaceAll(), 0);
    editor.Type(u"(猫)"_qs);
    QVERIFY(editor.bar->FindField().styleSheet().isEmpty());
}

void FindBarTest::KeysOfTheBar() {
    Editor editor(u"あいあいあい"_qs);
    editor.bar->Open(true);
    QApplication::setActiveWindow(&editor.window);
    editor.bar->FindField().setFocus();
    editor.Type(u"あい"_qs);
    QCOMPARE(editor.SelectionStart(), qsizetype{0});
    QTest::keyClick(&editor.bar->FindField(), Qt::Key_Return);
    QCOMPARE(editor.SelectionStart(), qsizetype{2});
    QTest::keyClick(&editor.bar->FindField(), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(editor.SelectionStart(), qsizetype{0});
    // Enter in the replace field replaces the match and selects the next.
    editor.bar->ReplaceField().setText(u"う"_qs);
    QTest::keyClick(&editor.bar->ReplaceField(), Qt::Key_Return);
    QCOMPARE(editor.text->toPlainText(), u"うあいあい"_qs);
    QCOMPARE(editor.SelectionStart(), qsizetype{1});
    // Esc closes the bar and gives the focus back to the text.
    QTest::keyClick(&editor.bar->ReplaceField(), Qt::Key_Escape);
    QVERIFY(!editor.bar->isVisible());
    QVERIFY(editor.text->hasFocus());
}

void FindBarTest::OutlineListsAndJumps() {
    QString text = u"* 一章\n本文\n** 一節\n"_qs;
    for (int i = 0; i < 200; ++i) text += u"本文の行\n"_qs;
    text += u"*見出し\n** 二節\n* 二章\n"_qs;
    for (int i = 0; i < 200; ++i) text += u"後の行\n"_qs;
    QWidget window;
    auto* editor = new QPlainTextEdit(&window);
    auto* outline = new OutlinePanel(*editor, &window);
    editor->setPlainText(text);
    window.resize(600, 300);
    window.show();
    outline->SetHeadings(AnalyseManuscript(text::ToUtf8(text)).headings);
    // 一章 holds 一節 (with the rejected line under it, where the text has it) and 二節;
    // 二章 stands beside it.
    QCOMPARE(outline->topLevelItemCount(), 2);
    QTreeWidgetItem* first = outline->topLevelItem(0);
    QCOMPARE(first->text(0), u"一章"_qs);
    QCOMPARE(first->childCount(), 2);
    QCOMPARE(first->child(0)->child(0)->text(0), u"× *見出し"_qs);
    QCOMPARE(first->child(0)->child(0)->foreground(0).color(), QColor(Qt::red));
    QCOMPARE(first->child(1)->text(0), u"二節"_qs);
    QCOMPARE(first->child(1)->text(1), u"2"_qs);
    QCOMPARE(outline->topLevelItem(1)->text(0), u"二章"_qs);
    // A click puts the cursor on the heading's line, shown at the top of the pane.
    outline->GoTo(first->child(1));
    QCOMPARE(editor->textCursor().blockNumber(), 204);
    QCOMPARE(editor->cursorForPosition(QPoint(4, 4)).blockNumber(), 204);
    // The heading that holds the cursor is the current item.
    QTextCursor cursor(editor->document()->findBlockByNumber(100));
    editor->setTextCursor(cursor);
    QCOMPARE(outline->currentItem(), first->child(0));
    editor->setTextCursor(QTextCursor(editor->document()->findBlockByNumber(0)));
    QCOMPARE(outline->currentItem(), first);
}
