#include "editing/MarkupInsertion.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <algorithm>

#include "editing/ManuscriptAnalysis.h"
#include "text/Utf8ShiftJis.h"

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

QString ElementContent(const QString& markup) {
    // Outside the author's own elements a * [ { would close the new one, and a backslash at
    // the very end would take its closer: those get a backslash.
    QString kept;
    kept.reserve(markup.size() + 4);
    int depth = 0;
    for (qsizetype i = 0; i < markup.size(); ++i) {
        const QChar c = markup.at(i);
        if (c == u'\\') {
            kept += c;
            if (i + 1 < markup.size()) {
                kept += markup.at(++i);
            } else {
                kept += c;
            }
            continue;
        }
        if (c == u'_') {
            ++depth;
        } else if (depth > 0 && (c == u'*' || c == u'[' || c == u'{')) {
            --depth;
            // A reading, or a command's head, is copied as it is to its end.
            const QChar close = c == u'[' ? u']' : c == u'{' ? u'}' : QChar();
            if (!close.isNull()) {
                bool quoted = false;
                qsizetype end = i + 1;
                for (; end < markup.size(); ++end) {
                    const QChar d = markup.at(end);
                    if (d == u'\\') {
                        ++end;
                    } else if (close == u'}' && d == u'"') {
                        quoted = !quoted;
                    } else if (!quoted && d == close) {
                        break;
                    }
                }
                end = std::min(end, markup.size() - 1);
                kept += QStringView(markup).sliced(i, end - i + 1);
                i = end;
                continue;
            }
        } else if (depth == 0 && (c == u'*' || c == u'[' || c == u'{')) {
            kept += u'\\';
        }
        kept += c;
    }
    // The converter judges: markup it cannot read in a line of its own, or that does not
    // read within the new element, is written as plain text.
    auto reads = [](const QString& line) { return LastLineRejection(text::ToUtf8(line)) == 0; };
    if (depth == 0 && reads(u"\u3042"_qs + markup) && reads(u"\u3042_"_qs + kept + u'*')) {
        return kept;
    }
    return EscapeElementText(markup);
}

QString EscapeReading(const QString& reading) {
    return Escaped(reading, u"\\]_");
}

QString RubyMarkup(const QString& base, const QString& reading) {
    return u'_' + ElementContent(base) + u'[' + EscapeReading(reading) + u']';
}

QString EmphasisMarkup(const QString& text) {
    return u'_' + ElementContent(text) + u'*';
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
