// Manuscript paper without widgets: the reader's text of each line in blocks of 20-cell
// columns, every cell pointing at the character the author typed, and columns that add up
// to the lines the status bar counts.
#include <QDir>
#include <QFile>
#include <QtTest>
#include <random>

#include "counts/TextCounts.h"
#include "text/ShiftJis.h"
#include "vertical/PaperText.h"

using namespace quirtle::vertical;
using quirtle::TextEncoding;

class PaperTest : public QObject {
    Q_OBJECT
  private slots:
    void LinesOnPaper_data();
    void LinesOnPaper();
    void TextBeingComposed();
    void PaperAgreesWithTheCounts();
    void EditsReadAsTheWholeText();
};

namespace {

std::string Utf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A layout written as its columns joined by '/', the blank that opens a block as '_', each
// reading as (first cell, cells, text), each emphasised character followed by '.'.
QString Described(const LineLayout& layout) {
    QStringList columns;
    for (int column = 0; column < layout.Columns(); ++column) {
        QString text;
        for (int cell = layout.ColumnBegin(column); cell < layout.ColumnEnd(column); ++cell) {
            const Cell& unit = layout.cells[static_cast<std::size_t>(cell)];
            text += unit.shown < 0
                        ? QStringLiteral("_")
                        : layout.shown.mid(unit.shown,
                                           layout.shown[unit.shown].isHighSurrogate() ? 2 : 1);
            if (unit.emphasis) text += u'.';
        }
        columns << text;
    }
    for (const LineLayout::Reading& reading : layout.readings)
        columns << QStringLiteral("(%1,%2,%3)")
                       .arg(reading.firstCell)
                       .arg(reading.cells)
                       .arg(reading.text);
    return columns.join(u'/');
}

// Every shown cell points at the same character in the typed line (or, not found there, at
// no character), and the cells keep the order of the line.
bool CellsPointAtTheirCharacters(const LineLayout& layout, const QString& typed) {
    int last = 0;
    for (const Cell& cell : layout.cells) {
        if (cell.start < last) return false;
        last = cell.start;
        if (cell.shown < 0 || cell.length == 0) continue;
        if (typed.mid(cell.start, cell.length) != layout.shown.mid(cell.shown, cell.length))
            return false;
    }
    return true;
}

// Lines of every kind the converter reads, with the pieces the paper must see through.
QString GeneratedManuscript(unsigned seed, int lines) {
    const QStringList pieces = {u"駅舎"_qs,
                                u"_学校[がっこう]"_qs,
                                u"がある"_qs,
                                u"_傘*"_qs,
                                u"A&B <x> \"q\""_qs,
                                u"  "_qs,
                                u"ｶﾅ"_qs,
                                u"_父{person \"父 }親\"}"_qs,
                                u"\\_"_qs,
                                u"。"_qs,
                                u"　"_qs,
                                u"_閉じない"_qs,
                                u"__内側*[そと]"_qs,
                                u"𠮟😀"_qs,
                                u"_a\\]b[x\\]y]"_qs,
                                u"12"_qs,
                                u"_[よみ]"_qs,
                                u"_字[]"_qs,
                                u"*"_qs,
                                u"["_qs};
    const QStringList starts = {
        QString(),  u"* "_qs, u"** "_qs,    u"**** "_qs,   u"- "_qs,
        u"-- "_qs,  u"! "_qs, u"> "_qs,     u"|{box} "_qs, u":image a.png "_qs,
        u"*bad"_qs, u" "_qs,  u"用語 : "_qs};
    std::mt19937 random(seed);
    QString manuscript;
    for (int line = 0; line < lines; ++line) {
        manuscript += starts[static_cast<qsizetype>(random() % starts.size())];
        const int count = static_cast<int>(random() % 30);
        for (int i = 0; i < count; ++i)
            manuscript += pieces[static_cast<qsizetype>(random() % pieces.size())];
        manuscript += u'\n';
        if (random() % 7 == 0) manuscript += u'\n';
    }
    return manuscript;
}

}  // namespace

void PaperTest::LinesOnPaper_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("paper");
    QTest::newRow("empty line") << u""_qs << u""_qs;
    QTest::newRow("blank paragraph") << u"   "_qs << u""_qs;
    QTest::newRow("command") << u":title 夢"_qs << u""_qs;
    QTest::newRow("paragraph") << u"吾輩は猫である。"_qs << u"_吾輩は猫である。"_qs;
    // 19 characters fill the first column after the indent; the 20th starts the second.
    QTest::newRow("one column") << QString(19, u'あ') << u"_"_qs + QString(19, u'あ');
    QTest::newRow("two columns") << QString(20, u'あ') << u"_"_qs + QString(19, u'あ') + u"/あ"_qs;
    // No line-head rules on paper: a mark that falls at the head of a column stays there.
    QTest::newRow("mark at a column head")
        << QString(19, u'あ') + u"。"_qs << u"_"_qs + QString(19, u'あ') + u"/。"_qs;
    QTest::newRow("heading") << u"** 一"_qs << u"_一"_qs;
    QTest::newRow("ruby") << u"_学校[がっこう]がある"_qs << u"_学校がある/(1,2,がっこう)"_qs;
    QTest::newRow("emphasis in ruby") << u"__内側*[そと]だ"_qs << u"_内.側.だ/(1,2,そと)"_qs;
    QTest::newRow("command in the text") << u"_父{person \"父 親\"}だ"_qs << u"_父だ"_qs;
    QTest::newRow("escapes and entities") << u"\\_a&<\"b"_qs << u"__a&<\"b"_qs;
    QTest::newRow("two digits, one cell each") << u"12時"_qs << u"_12時"_qs;
    QTest::newRow("beyond the plane") << u"𠮟😀"_qs << u"_𠮟😀"_qs;
    QTest::newRow("rejected, shown as typed") << u"_閉じない"_qs << u"__閉じない"_qs;
    QTest::newRow("term and description") << u"! 用語 : 説明"_qs << u"_用語 /_説明"_qs;
}

void PaperTest::LinesOnPaper() {
    QFETCH(QString, line);
    QFETCH(QString, paper);
    PaperText text;
    text.Read(Utf8(u"前\n"_qs + line + u"\n後"_qs));
    const LineLayout layout = text.Layout(1);
    QCOMPARE(Described(layout), paper);
    QCOMPARE(layout.Columns(), text.Columns(1));
    QVERIFY(CellsPointAtTheirCharacters(layout, line));
    QCOMPARE(layout.length, line.size());
}

void PaperTest::TextBeingComposed() {
    PaperText text;
    text.Read(Utf8(u"_学校[がっこう]へ\n\n"_qs));
    // After the ruby: the composed text follows the base; the cell after it moved on.
    LineLayout layout = text.Layout(0, u"にほ"_qs, 9);
    QCOMPARE(Described(layout), u"_学校にほへ/(1,2,がっこう)"_qs);
    QCOMPARE(layout.cells[3].start, 9);
    QCOMPARE(layout.cells[5].start, 11);
    // On a line that shows nothing yet, the composed text opens a block.
    layout = text.Layout(1, u"あ"_qs, 0);
    QCOMPARE(Described(layout), u"_あ"_qs);
}

void PaperTest::PaperAgreesWithTheCounts() {
    QList<QPair<QString, QString>> manuscripts;
    for (unsigned seed = 1; seed <= 6; ++seed)
        manuscripts.append(
            {QStringLiteral("generated %1").arg(seed), GeneratedManuscript(seed, 300)});
    const QDir real(QStringLiteral(QUIRTLE_SOURCE_DIR "/../shared/realtext"));
    for (const QString& name : real.entryList({QStringLiteral("*.txt")}, QDir::Files)) {
        QFile file(real.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto decoded = quirtle::text::DecodeShiftJis(file.readAll().toStdString());
        QVERIFY2(decoded, qPrintable(name));
        QString novel = *decoded;
        novel.replace(u"\r\n"_qs, u"\n"_qs);
        manuscripts.append({name, novel});
    }
    for (const auto& [name, manuscript] : manuscripts) {
        PaperText text;
        text.Read(Utf8(manuscript));
        const auto counts = quirtle::counts::CountManuscript(Utf8(manuscript), TextEncoding::Utf8);
        QVERIFY(counts);
        const QStringList lines = manuscript.split(u'\n');
        QCOMPARE(text.Lines(), lines.size());
        std::size_t columns = 0;
        for (int line = 0; line < text.Lines(); ++line) {
            const LineLayout layout = text.Layout(line);
            QVERIFY2(layout.Columns() == text.Columns(line),
                     qPrintable(name + u": "_qs + lines[line]));
            QVERIFY2(CellsPointAtTheirCharacters(layout, lines[line]),
                     qPrintable(name + u": "_qs + lines[line]));
            columns += static_cast<std::size_t>(text.Columns(line));
        }
        QCOMPARE(columns, counts->lines);
        QVERIFY(quirtle::counts::PagesForLines(columns) == counts->pages);
    }
}

void PaperTest::EditsReadAsTheWholeText() {
    // Lines replaced one edit after another: the columns and layouts are those of the
    // whole text read afresh, also where an edit changes how later lines read.
    // A list opened above lets a nested item below be read, which is then shorter.
    PaperText text;
    text.Read(Utf8(u"本文\n-- "_qs + QString(18, u'あ')));
    QCOMPARE(text.Columns(1), 2);
    QCOMPARE(text.Replace(0, 1, Utf8(u"- 一"_qs)), 1);
    QCOMPARE(text.Columns(1), 1);

    QStringList lines = GeneratedManuscript(9, 60).split(u'\n');
    const QStringList pieces = {u"* "_qs,        u"- "_qs,  u"> "_qs,
                                u"_"_qs,         u"]"_qs,   u"あいう"_qs,
                                u"_傘[かさ]"_qs, QString(), u"-- "_qs + QString(20, u'か')};
    PaperText edited;
    edited.Read(Utf8(lines.join(u'\n')));
    std::mt19937 random(10);
    for (int step = 0; step < 150; ++step) {
        const int from = static_cast<int>(random() % lines.size());
        const int removed =
            1 + static_cast<int>(random() % std::min<qsizetype>(3, lines.size() - from));
        QStringList added;
        for (int i = static_cast<int>(random() % 3); i >= 0; --i)
            added << pieces[static_cast<qsizetype>(random() % pieces.size())] +
                         lines[static_cast<qsizetype>(random() % lines.size())];
        for (int i = 0; i < removed; ++i) lines.removeAt(from);
        for (int i = 0; i < added.size(); ++i) lines.insert(from + i, added[i]);
        QVERIFY(edited.Replace(from, removed, Utf8(added.join(u'\n'))) >= 0);
        PaperText fresh;
        fresh.Read(Utf8(lines.join(u'\n')));
        QCOMPARE(edited.AllColumns(), fresh.AllColumns());
        for (int line = from; line < from + static_cast<int>(added.size()); ++line)
            QCOMPARE(Described(edited.Layout(line)), Described(fresh.Layout(line)));
    }
    QCOMPARE(edited.Replace(0, edited.Lines() + 1, "x"), -1);
}

QTEST_GUILESS_MAIN(PaperTest)
#include "PaperTest.moc"
