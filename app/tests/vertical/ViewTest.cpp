// The vertical view on a real editor, offscreen: the column index kept up to date through
// edits, hit testing, caret keys, typing and undo, and the input method.
#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

#include "counts/TextCounts.h"
#include "vertical/ColumnIndex.h"
#include "vertical/LineLayout.h"
#include "vertical/VerticalView.h"

using namespace quirtle::vertical;

class ViewTest : public QObject {
    Q_OBJECT
  private slots:
    void IndexFollowsEdits();
    void HitTestingRoundTrips();
    void CaretKeys_data();
    void CaretKeys();
    void TypingAndUndo();
    void InputMethod();
    void ManuscriptPaperColumns();
    void ManuscriptPaperKeys_data();
    void ManuscriptPaperKeys();
    void JumpsAndReflowsShowTheCaret();
};

namespace {

struct Window {
    QPlainTextEdit editor;
    VerticalView view{editor};
    explicit Window(const QString& text, QSize size = QSize(400, 300)) {
        editor.setPlainText(text);
        view.resize(size);
        view.show();
        view.SetActive(true);
        view.setFocus();
    }
    int Position() const { return editor.textCursor().position(); }
    void SetPosition(int at) {
        QTextCursor cursor = editor.textCursor();
        cursor.setPosition(at);
        editor.setTextCursor(cursor);
    }
};

// The columns of every line counted afresh.
std::vector<int> Recounted(const QTextDocument& document, int perColumn) {
    std::vector<int> columns;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        columns.push_back(LineColumns(block.text(), perColumn));
    return columns;
}

// One random edit: a short stretch removed, or one of `pieces` typed, somewhere.
template <std::size_t N>
void RandomEdit(QTextDocument& document, QRandomGenerator& random, const QString (&pieces)[N]) {
    QTextCursor cursor(&document);
    const int length = document.characterCount() - 1;
    cursor.setPosition(static_cast<int>(random.bounded(length + 1)));
    if (random.bounded(3) == 0) {
        cursor.setPosition(std::min(length, cursor.position() + int(random.bounded(12))),
                           QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    } else {
        cursor.insertText(pieces[random.bounded(static_cast<quint32>(N))]);
    }
}

}  // namespace

void ViewTest::IndexFollowsEdits() {
    // Random edits of one and several lines: the index always agrees with a recount.
    QTextDocument document(u"あいうえおかきくけこ\n\nさしすせそ。\n12345\n"_qs);
    ColumnIndex index(document);
    index.SetCellsPerColumn(4);
    index.SetActive(true);
    QRandomGenerator random(25);
    const QString pieces[] = {u"あ"_qs,   u"\n"_qs,     u"かきくけこさし"_qs,
                              u"。」"_qs, u"x\ny\n"_qs, u"12"_qs};
    for (int step = 0; step < 300; ++step) {
        RandomEdit(document, random, pieces);
        const std::vector<int> expected = Recounted(document, 4);
        QCOMPARE(index.Lines(), static_cast<int>(expected.size()));
        int first = 0;
        for (int line = 0; line < index.Lines(); ++line) {
            QCOMPARE(index.Columns(line), expected[static_cast<std::size_t>(line)]);
            QCOMPARE(index.FirstColumn(line), first);
            QCOMPARE(index.LineAt(first), line);
            first += expected[static_cast<std::size_t>(line)];
        }
        QCOMPARE(index.TotalColumns(), first);
    }
}

void ViewTest::HitTestingRoundTrips() {
    // Every cell of a screen: its position is drawn in that cell, and a click in the upper
    // half of the cell puts the caret before it.
    QString text;
    for (int line = 0; line < 30; ++line)
        text +=
            QString(u"吾輩は猫である。名前は12まだ無い！?」ぁ𠮟ったーab"_qs).left(line % 17 + 1) +
            u'\n';
    Window window(text);
    const int first = window.view.FirstVisibleColumn();
    int checked = 0;
    for (int column = first; column < first + window.view.VisibleColumns(); ++column) {
        for (int row = 0; row < window.view.CellsPerColumn(); ++row) {
            const int position = window.view.PositionAtPlace(column, row);
            const LineLayout::Place place = window.view.PlaceOf(position);
            if (place.column != column || place.row != row) continue;  // past the column's end
            ++checked;
            const QRectF cell = window.view.CellRect(column, row);
            QCOMPARE(window.view.PositionAt(cell.center() - QPointF(0, cell.height() / 4)),
                     position);
        }
    }
    QVERIFY(checked > 100);
}

void ViewTest::CaretKeys_data() {
    // Columns of 10 cells (the smallest): line 0 takes two columns, line 1 one, line 2 one.
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("to");
    // 0..14: "あいうえおかきくけこさしすせそ", 16..18: "たちつ", 20: "" (empty), 21..: "な"
    QTest::newRow("down") << 0 << int(Qt::Key_Down) << 1;
    QTest::newRow("down at a line end") << 15 << int(Qt::Key_Down) << 16;
    QTest::newRow("up at a line start") << 16 << int(Qt::Key_Up) << 15;
    QTest::newRow("up at the start") << 0 << int(Qt::Key_Up) << 0;
    QTest::newRow("left into the wrapped column") << 2 << int(Qt::Key_Left) << 12;
    QTest::newRow("left past a short column's end") << 12 << int(Qt::Key_Left) << 18;
    QTest::newRow("left into an empty line") << 17 << int(Qt::Key_Left) << 20;
    QTest::newRow("right back") << 12 << int(Qt::Key_Right) << 2;
    QTest::newRow("right in the first column") << 3 << int(Qt::Key_Right) << 0;
    QTest::newRow("left in the last column") << 21 << int(Qt::Key_Left) << 22;
    QTest::newRow("home of a wrapped column") << 13 << int(Qt::Key_Home) << 10;
    QTest::newRow("end of the first column") << 3 << int(Qt::Key_End) << 10;
    QTest::newRow("end of a line") << 11 << int(Qt::Key_End) << 15;
    QTest::newRow("ctrl+end") << 3 << (Qt::CTRL | Qt::Key_End).toCombined() << 22;
    QTest::newRow("ctrl+home") << 17 << (Qt::CTRL | Qt::Key_Home).toCombined() << 0;
    QTest::newRow("page down past the last column") << 2 << int(Qt::Key_PageDown) << 22;
    QTest::newRow("page up past the first column") << 21 << int(Qt::Key_PageUp) << 0;
}

void ViewTest::CaretKeys() {
    QFETCH(int, from);
    QFETCH(int, key);
    QFETCH(int, to);
    Window window(u"あいうえおかきくけこさしすせそ\nたちつ\n\nな"_qs, QSize(400, 150));
    QCOMPARE(window.view.CellsPerColumn(), 10);
    window.SetPosition(from);
    const QKeyCombination combination = QKeyCombination::fromCombined(key);
    QTest::keyClick(&window.view, combination.key(), combination.keyboardModifiers());
    QCOMPARE(window.Position(), to);
    // With Shift the same key selects from where the caret was.
    window.SetPosition(from);
    QTest::keyClick(&window.view, combination.key(),
                    combination.keyboardModifiers() | Qt::ShiftModifier);
    QCOMPARE(window.editor.textCursor().anchor(), from);
    QCOMPARE(window.Position(), to);
}

void ViewTest::TypingAndUndo() {
    Window window(u"あい\nう"_qs);
    window.SetPosition(1);
    QTest::keyClicks(&window.view, u"abc"_qs);
    QTest::keyClick(&window.view, Qt::Key_Return);
    QTest::keyClick(&window.view, Qt::Key_Backspace);
    QTest::keyClick(&window.view, Qt::Key_Backspace);
    QTest::keyClick(&window.view, Qt::Key_Delete);
    QCOMPARE(window.editor.toPlainText(), u"あab\nう"_qs);
    QVERIFY(window.editor.document()->isModified());
    // Selecting down the column and typing over it.
    window.SetPosition(0);
    QTest::keyClick(&window.view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&window.view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClicks(&window.view, u"X"_qs);
    QCOMPARE(window.editor.toPlainText(), u"Xb\nう"_qs);
    // Ctrl+Backspace and Ctrl+Delete take a word.
    window.editor.setPlainText(u"one two three"_qs);
    window.SetPosition(7);
    QTest::keyClick(&window.view, Qt::Key_Backspace, Qt::ControlModifier);
    QCOMPARE(window.editor.toPlainText(), u"one  three"_qs);
    QTest::keyClick(&window.view, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(window.editor.toPlainText(), u"one three"_qs);
    window.editor.setPlainText(u"あい\nう"_qs);
    QTest::keyClicks(&window.view, u"X"_qs);
    while (window.editor.document()->isUndoAvailable()) window.editor.undo();
    QCOMPARE(window.editor.toPlainText(), u"あい\nう"_qs);
}

void ViewTest::InputMethod() {
    Window window(u"あい"_qs);
    window.SetPosition(1);
    QCOMPARE(window.view.inputMethodQuery(Qt::ImEnabled).toBool(), true);
    // Composing shows the text at the caret without putting it into the document.
    QList<QInputMethodEvent::Attribute> attributes{{QInputMethodEvent::Cursor, 2, 1, QVariant()}};
    QInputMethodEvent composing(u"ねこ"_qs, attributes);
    QApplication::sendEvent(&window.view, &composing);
    QCOMPARE(window.view.PreeditText(), u"ねこ"_qs);
    QCOMPARE(window.editor.toPlainText(), u"あい"_qs);
    const QRect caret = window.view.inputMethodQuery(Qt::ImCursorRectangle).toRect();
    QVERIFY(window.view.rect().contains(caret));
    const QRectF cell = window.view.CellRect(0, 3).translated(window.view.viewport()->pos());
    QVERIFY(caret.intersects(cell.toAlignedRect()));
    // The commit goes in as one edit.
    QInputMethodEvent commit;
    commit.setCommitString(u"猫"_qs);
    QApplication::sendEvent(&window.view, &commit);
    QCOMPARE(window.view.PreeditText(), QString());
    QCOMPARE(window.editor.toPlainText(), u"あ猫い"_qs);
    QCOMPARE(window.view.inputMethodQuery(Qt::ImCursorPosition).toInt(), 2);
    QCOMPARE(window.view.inputMethodQuery(Qt::ImSurroundingText).toString(), u"あ猫い"_qs);
    window.editor.undo();
    QCOMPARE(window.editor.toPlainText(), u"あい"_qs);
    // A selection is reported to the input method.
    QTextCursor cursor = window.editor.textCursor();
    cursor.setPosition(0);
    cursor.setPosition(2, QTextCursor::KeepAnchor);
    window.editor.setTextCursor(cursor);
    QCOMPARE(window.view.inputMethodQuery(Qt::ImCurrentSelection).toString(), u"あい"_qs);
    QCOMPARE(window.view.inputMethodQuery(Qt::ImAnchorPosition).toInt(), 0);
}

void ViewTest::ManuscriptPaperKeys_data() {
    // 0: "前", 2..13: "_学校[がっこう]がある" (学 3, 校 4, が 11, end 14), 15..: "* 章" (章 17)
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("text");
    const QString text = u"前\n_学校[がっこう]がある\n* 章"_qs;
    QTest::newRow("down over the reading") << 4 << int(Qt::Key_Down) << 11 << text;
    QTest::newRow("down to the line end") << 13 << int(Qt::Key_Down) << 14 << text;
    QTest::newRow("down past the marker") << 14 << int(Qt::Key_Down) << 17 << text;
    QTest::newRow("up over the reading") << 11 << int(Qt::Key_Up) << 4 << text;
    QTest::newRow("up past the marker") << 3 << int(Qt::Key_Up) << 1 << text;
    QTest::newRow("backspace takes the base, not the bracket")
        << 11 << int(Qt::Key_Backspace) << 4 << u"前\n_学[がっこう]がある\n* 章"_qs;
    QTest::newRow("delete takes the base")
        << 3 << int(Qt::Key_Delete) << 3 << u"前\n_校[がっこう]がある\n* 章"_qs;
    QTest::newRow("backspace at the first character joins the lines")
        << 17 << int(Qt::Key_Backspace) << 14 << u"前\n_学校[がっこう]がある* 章"_qs;
    QTest::newRow("delete at the line end joins the lines")
        << 14 << int(Qt::Key_Delete) << 14 << u"前\n_学校[がっこう]がある* 章"_qs;
    QTest::newRow("backspace at the very start") << 0 << int(Qt::Key_Backspace) << 0 << text;
}

void ViewTest::ManuscriptPaperKeys() {
    QFETCH(int, from);
    QFETCH(int, key);
    QFETCH(int, to);
    QFETCH(QString, text);
    Window window(u"前\n_学校[がっこう]がある\n* 章"_qs);
    window.view.SetManuscriptPaper(true);
    window.SetPosition(from);
    QTest::keyClick(&window.view, static_cast<Qt::Key>(key));
    QCOMPARE(window.Position(), to);
    QCOMPARE(window.editor.toPlainText(), text);
}

void ViewTest::ManuscriptPaperColumns() {
    // Manuscript paper has 20 cells a column whatever the window, shows the reader's text
    // and fills the pages the counts give, through every kind of edit.
    Window window(u"* 章\n_雨[あめ]が降る。\n\n- 一\n-- 二\n:image a.png\n"_qs, QSize(500, 200));
    const int fitting = window.view.CellsPerColumn();
    QVERIFY(fitting >= 10 && fitting < 20);
    window.view.SetManuscriptPaper(true);
    QCOMPARE(window.view.CellsPerColumn(), 20);
    QRandomGenerator random(26);
    const QString pieces[] = {u"あ"_qs,   u"\n"_qs, u"_傘[かさ]"_qs, u"* "_qs,          u"- "_qs,
                              u"。」"_qs, u"_"_qs,  u"["_qs,         QString(25, u'か')};
    for (int step = 0; step < 200; ++step) {
        RandomEdit(*window.editor.document(), random, pieces);
        const QByteArray utf8 = window.editor.toPlainText().toUtf8();
        const auto counts = quirtle::counts::CountManuscript(
            std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())),
            quirtle::TextEncoding::Utf8);
        QVERIFY(counts);
        QCOMPARE(window.view.TotalColumns(), static_cast<int>(counts->lines));
        QCOMPARE(window.view.PaperPages(), static_cast<int>(counts->pages));
    }
    // Every character cell on screen: a click in it puts the caret before its character,
    // which is drawn there.
    int checked = 0;
    const int first = window.view.FirstVisibleColumn();
    for (int column = first; column < first + window.view.VisibleColumns(); ++column) {
        for (int row = 1; row < 20; ++row) {
            const QRectF cell = window.view.CellRect(column, row);
            const int position =
                window.view.PositionAt(cell.center() - QPointF(0, cell.height() / 4));
            const LineLayout::Place place = window.view.PlaceOf(position);
            if (place.column != column || place.row != row) continue;  // not a character's cell
            ++checked;
            QCOMPARE(window.view.PositionAtPlace(column, row), position);
        }
    }
    QVERIFY(checked > 20);
    // The page is higher than the window: it scrolls, and follows the caret down a column.
    QVERIFY(window.view.verticalScrollBar()->maximum() > 0);
    window.editor.setPlainText(QString(30, u'あ'));
    window.SetPosition(0);
    for (int i = 0; i < 12; ++i) QTest::keyClick(&window.view, Qt::Key_Down);
    const LineLayout::Place place = window.view.PlaceOf(window.Position());
    QCOMPARE(place.row, 13);
    QVERIFY(window.view.viewport()->rect().contains(
        window.view.CellRect(place.column, place.row).toAlignedRect()));
    window.view.SetManuscriptPaper(false);
    QCOMPARE(window.view.CellsPerColumn(), fitting);
    QCOMPARE(window.view.verticalScrollBar()->maximum(), 0);
}

void ViewTest::JumpsAndReflowsShowTheCaret() {
    // A lower window (the find bar opening) flows the lines into more columns: the caret
    // the author was looking at stays on screen.
    QString text;
    for (int line = 0; line < 400; ++line) text += QString(30 + line % 20, u'あ') + u'\n';
    Window window(text, QSize(400, 400));
    window.SetPosition(window.editor.document()->findBlockByNumber(300).position());
    // A jump to a line's start (the outline's heading) puts the line at the right edge.
    QCOMPARE(window.view.FirstVisibleColumn(), window.view.PlaceOf(window.Position()).column);
    QTextCursor cursor(window.editor.document()->findBlockByNumber(100));
    cursor.setPosition(cursor.position() + 3);
    window.editor.setTextCursor(cursor);
    const int middle = window.view.PlaceOf(window.Position()).column;
    QCOMPARE(window.view.FirstVisibleColumn(), middle - window.view.VisibleColumns() / 2);
    window.SetPosition(window.editor.document()->findBlockByNumber(300).position() + 5);
    for (const int height : {250, 400, 180, 600}) {
        window.view.resize(400, height);
        const int column = window.view.PlaceOf(window.Position()).column;
        const int first = window.view.FirstVisibleColumn();
        QVERIFY(column >= first && column < first + window.view.VisibleColumns());
    }
}

QTEST_MAIN(ViewTest)
#include "ViewTest.moc"
