// Ruby and emphasis written by the commands read back through the converter as they were
// meant, whatever the selected text holds.
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QtTest>

#include "ConvertManuscript.h"
#include "EditingTests.h"
#include "editing/ManuscriptAnalysis.h"
#include "editing/MarkupInsertion.h"
#include "text/ShiftJis.h"
#include "text/Utf8ShiftJis.h"

using namespace quirtle;
using namespace quirtle::editing;

namespace {

// The export XML of one line inside the document element (Shift_JIS decoded, without line
// breaks), or nothing.
QString Xml(const QString& line) {
    std::string xml;
    if (ConvertManuscript(text::EncodeShiftJis(line).bytes, OutputMode::Xml, xml) < 0) return {};
    QString text = text::DecodeShiftJis(xml).value_or(QString());
    text.remove(u'\r').remove(u'\n');
    const qsizetype start = text.indexOf(u"<document>"_qs) + 10;
    return text.mid(start, text.lastIndexOf(u"</document>"_qs) - start);
}

// What the export writes for a text: & < > " as entities.
QString Escaped(QString text) {
    text.replace(u'&', u"&amp;"_qs).replace(u'<', u"&lt;"_qs).replace(u'>', u"&gt;"_qs);
    return text.replace(u'"', u"&quot;"_qs);
}

// The text of an export fragment as the reader sees it: tags left out, entities read.
QString ReaderText(const QString& xml) {
    QString text;
    for (qsizetype i = 0; i < xml.size(); ++i) {
        if (xml.at(i) == u'<') {
            i = xml.indexOf(u'>', i);
            if (i < 0) break;
        } else if (xml.at(i) == u'&') {
            const qsizetype end = xml.indexOf(u';', i);
            const QStringView entity = QStringView(xml).sliced(i, end + 1 - i);
            text += entity == u"&amp;"  ? u'&'
                    : entity == u"&lt;" ? u'<'
                    : entity == u"&gt;" ? u'>'
                                        : u'"';
            i = end;
        } else {
            text += xml.at(i);
        }
    }
    return text;
}

bool Reads(const QString& line) {
    return LastLineRejection(text::ToUtf8(line)) == 0;
}

// What the reader should see of a selection put into an element: its own reading when the
// converter reads it as markup (in a paragraph), otherwise the text exactly as written.
QString Expected(const QString& selection) {
    const QString line = u"\u3042"_qs + selection;
    return Reads(line) ? ReaderText(Xml(line)).mid(1) : selection;
}

// Texts built of the characters that matter to the markup, and plain ones.
QString RandomText(QRandomGenerator& random) {
    static const QString alphabet = u"\\_*[]{}()\"#:&<>-!|; 猫aソ表"_qs;
    QString text;
    const int length = 1 + random.bounded(8);
    for (int i = 0; i < length; ++i) text += alphabet.at(random.bounded(alphabet.size()));
    return text;
}

}  // namespace

void InsertionTest::AnySelectedTextRoundTrips() {
    QRandomGenerator random(2021);
    QList<std::pair<QString, QString>> cases = {
        {u"]"_qs, u"]"_qs},     {u"*"_qs, u"*"_qs},   {u"\\"_qs, u"\\"_qs}, {u"_"_qs, u"_"_qs},
        {u"a[b"_qs, u"x]y"_qs}, {u"{"_qs, u"\\]"_qs}, {u"ソ"_qs, u"表"_qs}};
    for (int i = 0; i < 300; ++i) cases.append({RandomText(random), RandomText(random)});
    for (const auto& [base, reading] : cases) {
        // In a paragraph, so that the line's first character is not a marker.
        const QString rubyLine = u"前"_qs + RubyMarkup(base, reading) + u"後"_qs;
        QVERIFY2(Reads(rubyLine), qPrintable(rubyLine));
        const QString ruby = Xml(rubyLine);
        QVERIFY2(ruby.contains(u"<ruby param0=\""_qs + Escaped(reading) + u"\">"_qs),
                 qPrintable(ruby));
        QCOMPARE(ReaderText(ruby), u"前"_qs + Expected(base) + u"後"_qs);
        const QString emphasisLine = u"前"_qs + EmphasisMarkup(base) + u"後"_qs;
        QVERIFY2(Reads(emphasisLine), qPrintable(emphasisLine));
        const QString emphasis = Xml(emphasisLine);
        QVERIFY2(emphasis.startsWith(u"<paragraph>前<em>"_qs), qPrintable(emphasis));
        QCOMPARE(ReaderText(emphasis), u"前"_qs + Expected(base) + u"後"_qs);
    }
    // The author's own markup in the selection stays; what would close the new element
    // early, or markup that does not read, is escaped.
    QCOMPARE(EmphasisMarkup(u"傘と_駅舎[えき]しゃ]"_qs), u"_傘と_駅舎[えき]しゃ]*"_qs);
    QCOMPARE(EmphasisMarkup(u"_父{p \"*\"}"_qs), u"__父{p \"*\"}*"_qs);
    QCOMPARE(EmphasisMarkup(u"a*b[c{"_qs), u"_a\\*b\\[c\\{*"_qs);
    QCOMPARE(EmphasisMarkup(u"_x"_qs), u"_\\_x*"_qs);
    QCOMPARE(RubyMarkup(u"x\\"_qs, u"]"_qs), u"_x\\\\[\\]]"_qs);
}

void InsertionTest::InsertionsAreOneUndoStep() {
    QPlainTextEdit editor;
    editor.setPlainText(u"吾輩は猫である。\n名前は_まだ*無い。"_qs);
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(3);
    cursor.setPosition(4, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
    QString asked;
    QCOMPARE(InsertRuby(editor,
                        [&asked](const QString& base) {
                            asked = base;
                            return std::optional<QString>(u"ねこ]"_qs);
                        }),
             InsertionResult::Inserted);
    QCOMPARE(asked, u"猫"_qs);
    QCOMPARE(editor.toPlainText(), u"吾輩は_猫[ねこ\\]]である。\n名前は_まだ*無い。"_qs);
    editor.undo();
    QCOMPARE(editor.toPlainText(), u"吾輩は猫である。\n名前は_まだ*無い。"_qs);

    // Emphasis over two lines wraps each line; one undo takes it all back.
    cursor.setPosition(5);
    cursor.setPosition(11, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
    QCOMPARE(InsertEmphasis(editor), InsertionResult::Inserted);
    QCOMPARE(editor.toPlainText(), u"吾輩は猫で_ある。*\n_名前*は_まだ*無い。"_qs);
    editor.undo();
    QCOMPARE(editor.toPlainText(), u"吾輩は猫である。\n名前は_まだ*無い。"_qs);

    // Ruby over two lines, or a cancelled question, changes nothing.
    cursor.setPosition(5);
    cursor.setPosition(11, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
    QCOMPARE(InsertRuby(editor, [](const QString&) { return std::optional<QString>(u"x"_qs); }),
             InsertionResult::SeveralLines);
    cursor.setPosition(0);
    cursor.setPosition(2, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
    QCOMPARE(InsertRuby(editor, [](const QString&) { return std::optional<QString>(); }),
             InsertionResult::Cancelled);
    QCOMPARE(editor.toPlainText(), u"吾輩は猫である。\n名前は_まだ*無い。"_qs);
}

void InsertionTest::WithoutSelectionTheCursorWaitsInside() {
    QPlainTextEdit editor;
    editor.setPlainText(u"あい"_qs);
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(1);
    editor.setTextCursor(cursor);
    InsertRuby(editor, [](const QString&) -> std::optional<QString> {
        qFatal("no question without a selection");
        return std::nullopt;
    });
    QCOMPARE(editor.toPlainText(), u"あ_[]い"_qs);
    QCOMPARE(editor.textCursor().position(), 2);
    editor.textCursor().insertText(u"駅"_qs);
    QCOMPARE(editor.toPlainText(), u"あ_駅[]い"_qs);
    editor.undo();
    editor.undo();
    QCOMPARE(editor.toPlainText(), u"あい"_qs);
    InsertEmphasis(editor);
    QCOMPARE(editor.textCursor().position(), editor.toPlainText().indexOf(u'*'));
}
