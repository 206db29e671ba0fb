#include "ui/EditorPane.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>

#include "text/ShiftJis.h"
#include "text/Utf8ShiftJis.h"

namespace quirtle {

EditorPane::EditorPane(QWidget* parent) : QPlainTextEdit(parent) {
    setFont(EditorFont());
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUndoRedoEnabled(true);
    setTabChangesFocus(false);
    setFrameShape(QFrame::StyledPanel);

    // Keep the selection drawn as it is with the focus when the focus is elsewhere.
    QPalette colours = palette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    }
    setPalette(colours);
}

void EditorPane::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
        QKeyEvent plain(event->type(), event->key(), event->modifiers() & ~Qt::ShiftModifier,
                        event->text());
        QPlainTextEdit::keyPressEvent(&plain);
        event->setAccepted(plain.isAccepted());
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void EditorPane::insertFromMimeData(const QMimeData* source) {
    if (source && source->hasText()) {
        QString text = source->text();
        if (text.contains(QChar::LineSeparator) || text.contains(QChar::ParagraphSeparator)) {
            text.replace(QChar::LineSeparator, u'\n').replace(QChar::ParagraphSeparator, u'\n');
            insertPlainText(text);
            return;
        }
    }
    QPlainTextEdit::insertFromMimeData(source);
}

void EditorPane::inputMethodEvent(QInputMethodEvent* event) {
    // A composition the author cancelled is forgotten by the input method too, so that
    // nothing of it is committed when the focus moves on.
    const bool cancelled =
        composing && event->preeditString().isEmpty() && event->commitString().isEmpty();
    composing = !event->preeditString().isEmpty();
    QPlainTextEdit::inputMethodEvent(event);
    if (cancelled) QGuiApplication::inputMethod()->reset();
}

bool EditorPane::IsModified() const {
    return document()->isModified();
}

void EditorPane::SetModified(bool modified) {
    document()->setModified(modified);
}

void EditorPane::EmptyUndoBuffer() {
    document()->clearUndoRedoStacks();
}

QString EditorPane::Text() const {
    return toPlainText();
}

void EditorPane::ReplaceText(const QString& text) {
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.insertText(text);
    cursor.endEditBlock();
    cursor.movePosition(QTextCursor::Start);
    setTextCursor(cursor);
}

bool EditorPane::CanUndo() const {
    return document()->isUndoAvailable();
}

bool EditorPane::CanRedo() const {
    return document()->isRedoAvailable();
}

bool EditorPane::CanPaste() const {
    return canPaste();
}

bool EditorPane::HasSelection() const {
    return textCursor().hasSelection();
}

std::string EditorPane::TextBytes() const {
    return text::ToUtf8(toPlainText());
}

std::string EditorPane::SelectionBytes() const {
    // The selection separates its lines with U+2029.
    QString selected = textCursor().selectedText();
    selected.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text::ToUtf8(selected);
}

bool EditorPane::SetTextBytes(std::string_view bytes) {
    const auto decoded = text::DecodeShiftJis(bytes);
    if (!decoded) return false;
    ReplaceText(*decoded);
    return true;
}

QFont EditorPane::EditorFont() {
    QStringList families = {
        QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
        QStringLiteral("IPAGothic"),     QStringLiteral("Noto Sans Mono CJK JP"),
        QStringLiteral("VL Gothic"),     QStringLiteral("TakaoGothic")};
    // Any other installed fixed-pitch font that holds Japanese, then any Japanese font.
    QStringList proportional;
    for (const QString& family : QFontDatabase::families(QFontDatabase::Japanese)) {
        if (families.contains(family)) continue;
        (QFontDatabase::isFixedPitch(family) ? families : proportional).append(family);
    }
    families += proportional;
    families.append(QStringLiteral("monospace"));

    QFont font;
    font.setFamilies(families);
    font.setPointSize(10);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

int EditorPane::PointSize() const {
    return font().pointSize();
}

void EditorPane::SetPointSize(int points) {
    QFont larger = font();
    larger.setPointSize(std::clamp(points, kSmallestPoints, kLargestPoints));
    setFont(larger);
}

void EditorPane::ZoomIn() {
    SetPointSize(PointSize() + 1);
}

void EditorPane::ZoomOut() {
    SetPointSize(PointSize() - 1);
}

void EditorPane::ZoomReset() {
    SetPointSize(EditorFont().pointSize());
}

void EditorPane::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        const int steps = event->angleDelta().y() / 120;
        if (steps != 0) SetPointSize(PointSize() + steps);
        event->accept();
        return;
    }
    QPlainTextEdit::wheelEvent(event);
}

bool EditorPane::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip && lineToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = lineToolTip(cursorForPosition(help->pos()).blockNumber());
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), tip, this);
        }
        return true;
    }
    return QPlainTextEdit::viewportEvent(event);
}

}  // namespace quirtle
