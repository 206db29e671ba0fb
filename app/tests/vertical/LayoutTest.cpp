// The layout of vertical lines, without widgets: character classes, cells (side-by-side
// digits, surrogate pairs), column breaks with the line-head rules and hanging marks.
#include <QtTest>

#include "vertical/CharClasses.h"
#include "vertical/LineLayout.h"

using namespace quirtle::vertical;

class LayoutTest : public QObject {
    Q_OBJECT
  private slots:
    void CharacterClasses();
    void CellsOfALine_data();
    void CellsOfALine();
    void ColumnBreaks_data();
    void ColumnBreaks();
    void PositionsCellsAndColumnsAgree();
};

namespace {

// A line's cells written as the text of each cell, joined by '|'.
QString CellsText(const QString& line) {
    QStringList parts;
    for (const Cell& cell : LineCells(line)) parts << line.mid(cell.start, cell.length);
    return parts.join(u'|');
}

// A line's columns written as the text of each column, joined by '/'.
QString ColumnsText(const QString& line, int perColumn) {
    const LineLayout layout(line, perColumn);
    QStringList parts;
    for (int column = 0; column < layout.Columns(); ++column) {
        const int from = layout.PositionOf(layout.ColumnBegin(column));
        const int to = layout.PositionOf(layout.ColumnEnd(column));
        parts << line.mid(from, to - from);
    }
    return parts.join(u'/');
}

}  // namespace

void LayoutTest::CharacterClasses() {
    struct Case {
        char32_t c;
        Glyph glyph;
        bool neverStarts;
        bool hangs;
    };
    const Case cases[] = {
        {U'漢', Glyph::Upright, false, false}, {U'あ', Glyph::Upright, false, false},
        {U'、', Glyph::Comma, true, true},     {U'。', Glyph::Comma, true, true},
        {U'，', Glyph::Comma, true, true},     {U'．', Glyph::Comma, true, true},
        {U'「', Glyph::Turned, false, false},  {U'」', Glyph::Turned, true, true},
        {U'『', Glyph::Turned, false, false},  {U'』', Glyph::Turned, true, true},
        {U'（', Glyph::Turned, false, false},  {U'）', Glyph::Turned, true, true},
        {U'【', Glyph::Turned, false, false},  {U'〈', Glyph::Turned, false, false},
        {U'《', Glyph::Turned, false, false},  {U'〕', Glyph::Turned, true, true},
        {U'ー', Glyph::Turned, true, false},   {U'―', Glyph::Turned, false, false},
        {U'…', Glyph::Turned, false, false},   {U'‥', Glyph::Turned, false, false},
        {U'～', Glyph::Turned, false, false},  {U'－', Glyph::Turned, false, false},
        {U'＝', Glyph::Turned, false, false},  {U'ゃ', Glyph::Small, true, false},
        {U'ッ', Glyph::Small, true, false},    {U'ヶ', Glyph::Small, true, false},
        {U'ぁ', Glyph::Small, true, false},    {U'a', Glyph::Sideways, false, false},
        {U'7', Glyph::Sideways, false, false}, {U'_', Glyph::Sideways, false, false},
        {U'ｱ', Glyph::Upright, false, false},  {U'𠮟', Glyph::Upright, false, false},
    };
    for (const Case& test : cases) {
        const QString name = QString::fromUcs4(&test.c, 1);
        QVERIFY2(GlyphOf(test.c) == test.glyph, qPrintable(name));
        QVERIFY2(NeverStartsColumn(test.c) == test.neverStarts, qPrintable(name));
        QVERIFY2(MayHang(test.c) == test.hangs, qPrintable(name));
    }
    // Brackets have vertical forms; the long vowel mark has none (it is turned).
    QCOMPARE(VerticalForm(U'「'), char32_t{0xFE41});
    QCOMPARE(VerticalForm(U'…'), char32_t{0xFE19});
    QCOMPARE(VerticalForm(U'ー'), char32_t{0});
}

void LayoutTest::CellsOfALine_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("cells");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("one digit") << u"第1話"_qs << u"第|1|話"_qs;
    QTest::newRow("two digits") << u"第12話"_qs << u"第|12|話"_qs;
    QTest::newRow("three digits") << u"第123話"_qs << u"第|1|2|3|話"_qs;
    QTest::newRow("two digits at the ends") << u"12時34"_qs << u"12|時|34"_qs;
    QTest::newRow("!? and !!") << u"何!?嘘!!"_qs << u"何|!?|嘘|!!"_qs;
    QTest::newRow("three marks") << u"え!!!"_qs << u"え|!|!|!"_qs;
    QTest::newRow("?! stays turned") << u"え?!"_qs << u"え|?|!"_qs;
    QTest::newRow("letters") << u"ab"_qs << u"a|b"_qs;
    QTest::newRow("surrogate pair") << u"𠮟る"_qs << u"𠮟|る"_qs;
    QTest::newRow("full-width digits") << u"１２"_qs << u"１|２"_qs;
}

void LayoutTest::CellsOfALine() {
    QFETCH(QString, line);
    QFETCH(QString, cells);
    QCOMPARE(CellsText(line), cells);
    for (const Cell& cell : LineCells(line)) {
        if (cell.length == 2 && !line.at(cell.start).isHighSurrogate())
            QCOMPARE(cell.glyph, Glyph::SideBySide);
    }
}

void LayoutTest::ColumnBreaks_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("perColumn");
    QTest::addColumn<QString>("columns");
    QTest::newRow("empty line, one column") << QString() << 5 << QString();
    QTest::newRow("shorter") << u"あいう"_qs << 5 << u"あいう"_qs;
    QTest::newRow("exactly one column") << u"あいうえお"_qs << 5 << u"あいうえお"_qs;
    QTest::newRow("one more") << u"あいうえおか"_qs << 5 << u"あいうえお/か"_qs;
    QTest::newRow("two digits take one cell") << u"あいう12え"_qs << 5 << u"あいう12え"_qs;
    QTest::newRow("full stop hangs") << u"あいうえお。か"_qs << 5 << u"あいうえお。/か"_qs;
    QTest::newRow("closing bracket hangs") << u"「いうえお」か"_qs << 5 << u"「いうえお」/か"_qs;
    QTest::newRow("hanging at the very end") << u"あいうえお。"_qs << 5 << u"あいうえお。"_qs;
    QTest::newRow("at most one hangs") << u"あいうえお。」か"_qs << 5 << u"あいうえ/お。」か"_qs;
    QTest::newRow("small kana takes one along")
        << u"あいうえきゃく"_qs << 5 << u"あいうえ/きゃく"_qs;
    QTest::newRow("long vowel takes one along")
        << u"あいうえカーく"_qs << 5 << u"あいうえ/カーく"_qs;
    QTest::newRow("comma after two digits") << u"あいうえ12、お"_qs << 5 << u"あいうえ12、/お"_qs;
    QTest::newRow("surrogate pairs") << u"𠮟𠮟𠮟"_qs << 2 << u"𠮟𠮟/𠮟"_qs;
    QTest::newRow("all forbidden") << u"ーーーーーー"_qs << 3 << u"ーーー/ーーー"_qs;
    QTest::newRow("three columns")
        << u"あいうえおかきくけこさ"_qs << 5 << u"あいうえお/かきくけこ/さ"_qs;
}

void LayoutTest::ColumnBreaks() {
    QFETCH(QString, line);
    QFETCH(int, perColumn);
    QFETCH(QString, columns);
    QCOMPARE(ColumnsText(line, perColumn), columns);
    QCOMPARE(LineColumns(line, perColumn), static_cast<int>(columns.count(u'/')) + 1);
}

void LayoutTest::PositionsCellsAndColumnsAgree() {
    // Every position maps to a cell and back; the caret's place at a position lies within
    // the column that holds the cell.
    const QString line = u"「吾輩は猫である。名前は12まだ無い！?」とぁ𠮟ったーab"_qs;
    for (int perColumn : {3, 5, 7, 40}) {
        const LineLayout layout(line, perColumn);
        for (int cell = 0; cell <= static_cast<int>(layout.cells.size()); ++cell) {
            QCOMPARE(layout.CellAt(layout.PositionOf(cell)), cell);
        }
        for (int column = 0; column < layout.Columns(); ++column) {
            const int size = layout.ColumnEnd(column) - layout.ColumnBegin(column);
            QVERIFY(size >= 1 && size <= perColumn + 1);
            for (int cell = layout.ColumnBegin(column); cell < layout.ColumnEnd(column); ++cell) {
                const LineLayout::Place place = layout.CaretPlace(layout.PositionOf(cell));
                QCOMPARE(place.column, column);
                QCOMPARE(place.row, cell - layout.ColumnBegin(column));
            }
        }
    }
}

QTEST_APPLESS_MAIN(LayoutTest)
#include "LayoutTest.moc"
