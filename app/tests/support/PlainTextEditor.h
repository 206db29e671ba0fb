#pragma once

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

#include "base/ManuscriptEditor.h"

namespace quirtle::testing {

// A real editor for the document tests: a QPlainTextEdit whose document supplies the
// modified flag and the undo history, so the tests see what an editing user would.
class PlainTextEditor : public ManuscriptEditor {
  public:
    QPlainTextEdit widget;

    bool IsModified() const override { return widget.document()->isModified(); }
    void SetModified(bool modified) override { widget.document()->setModified(modified); }
    void EmptyUndoBuffer() override { widget.document()->clearUndoRedoStacks(); }
    QString Text() const override {
        // The raw text keeps every character; only the block separators become '\n'.
        QString text = widget.document()->toRawText();
        text.replace(QChar::ParagraphSeparator, QChar(u'\n'));
        return text;
    }
    void ReplaceText(const QString& text) override {
        QTextCursor cursor(widget.document());
        cursor.beginEditBlock();
        cursor.select(QTextCursor::Document);
        cursor.insertText(text);
        cursor.endEditBlock();
    }

    // What the user does: type at the end of the text.
    void Type(const QString& text) {
        QTextCursor cursor(widget.document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(text);
    }
    bool CanUndo() const { return widget.document()->isUndoAvailable(); }
};

}  // namespace quirtle::testing
