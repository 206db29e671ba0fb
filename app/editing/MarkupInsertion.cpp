#include "editing/MarkupInsertion.h"

#include <QPlainTextEdit>
#include <QTextCursor>

namespace quirtle::editing {

namespace {

QString Escaped(const QString& text, QStringView special) {
    QString result;
    result.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (special.contains(c)) result += u'\\';
        result += c;
    }
    return result;
}

// The selection as plain text with '\n' between its lines.
QString SelectedText(const QTextCursor& cursor) {
    QString text = cursor.selectedText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

// Writes `text` over the selection in one undo step and puts the cursor `back` characters
// before its end.
void Write(QPlainTextEdit& editor, QTextCursor cursor, const QString& text, int back) {
    cursor.beginEditBlock();
    cursor.insertText(text);
    cursor.endEditBlock();
    cursor.setPosition(cursor.position() - back);
    editor.setTextCursor(cursor);
}

}  // namespace

QString EscapeElementText(const QString& text) {
    return Escaped(text, u"\\_*[{");
}

QString EscapeReading(const QString& reading) {
    return Escaped(reading, u"\\]_");
}

QString RubyMarkup(const QString& base, const QString& reading) {
    return u'_' + EscapeElementText(base) + u'[' + EscapeReading(reading) + u']';
}

QString EmphasisMarkup(const QString& text) {
    return u'_' + EscapeElementText(text) + u'*';
}

InsertionResult InsertRuby(QPlainTextEdit& editor, const ReadingQuestion& askReading) {
    const QTextCursor cursor = editor.textCursor();
    if (!cursor.hasSelection()) {
        Write(editor, cursor, QStringLiteral("_[]"), 2);
        return InsertionResult::Inserted;
    }
    const QString base = SelectedText(cursor);
    // An element lives in one line.
    if (base.contains(u'\n')) return InsertionResult::SeveralLines;
    const std::optional<QString> reading = askReading(base);
    if (!reading || reading->isEmpty()) return InsertionResult::Cancelled;
    QString line = *reading;
    line.replace(u'\n', u' ');
    Write(editor, cursor, RubyMarkup(base, line), 0);
    return InsertionResult::Inserted;
}

InsertionResult InsertEmphasis(QPlainTextEdit& editor) {
    const QTextCursor cursor = editor.textCursor();
    if (!cursor.hasSelection()) {
        Write(editor, cursor, QStringLiteral("_*"), 1);
        return InsertionResult::Inserted;
    }
    QStringList lines = SelectedText(cursor).split(u'\n');
    for (QString& line : lines) {
        if (!line.isEmpty()) line = EmphasisMarkup(line);
    }
    Write(editor, cursor, lines.join(u'\n'), 0);
    return InsertionResult::Inserted;
}

}  // namespace quirtle::editing
