#include "vertical/VerticalView.h"

#include <QApplication>
#include <QHelpEvent>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <climits>
#include <cmath>

#include "counts/TextCounts.h"
#include "vertical/CellPainter.h"

namespace quirtle::vertical {

namespace {

constexpr int kWheelColumns = 3;     // columns one notch of the wheel scrolls
constexpr qreal kPitch = 1.7;        // distance between columns, in cells
constexpr int kSmallestColumn = 10;  // cells a column has at least, however low the window

}  // namespace

VerticalView::VerticalView(QPlainTextEdit& editor, QWidget* parent)
    : QAbstractScrollArea(parent), editor(editor), index(*editor.document(), this) {
    setAttribute(Qt::WA_InputMethodEnabled);
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::StyledPanel);
    // Only manuscript paper in a window lower than its page scrolls up and down.
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setRange(0, 0);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The text starts at the right: so does the scroll bar.
    horizontalScrollBar()->setInvertedAppearance(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setPalette(editor.palette());

    connect(&index, &ColumnIndex::Changed, this, [this] {
        UpdateScrollBar();
        viewport()->update();
    });
    connect(&editor, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        if (!Active()) return;
        ShowCaret();
        viewport()->update();
        // The input method's candidate window follows the caret.
        if (hasFocus()) QGuiApplication::inputMethod()->update(Qt::ImQueryInput);
    });
    connect(&editor, &QPlainTextEdit::selectionChanged, this, [this] {
        if (Active()) viewport()->update();
    });
    editor.installEventFilter(this);
    blink = new QTimer(this);
    connect(blink, &QTimer::timeout, this, [this] {
        caretOn = !caretOn;
        viewport()->update(CaretRect().adjusted(-2, -2, 2, 2).toAlignedRect());
    });
    FontChanged();
}

void VerticalView::RestartBlink() {
    caretOn = true;
    const int flash = QApplication::cursorFlashTime();
    if (flash > 0 && hasFocus()) {
        blink->start(flash / 2);
    } else {
        blink->stop();
    }
}

qreal VerticalView::Top() const {
    return topMargin - verticalScrollBar()->value();
}

VerticalView::~VerticalView() = default;

void VerticalView::SetActive(bool active) {
    index.SetActive(active);
    if (active) {
        FontChanged();
        ShowCaret();
    } else {
        preedit.clear();
    }
}

void VerticalView::SetManuscriptPaper(bool on) {
    if (paper == on) return;
    // The line at the right edge stays there.
    const int line = index.Active() ? index.LineAt(FirstVisibleColumn()) : 0;
    paper = on;
    index.SetPaper(on ? &paperText : nullptr);
    UpdateGeometry();
    if (index.Active()) {
        UpdateScrollBar();
        ScrollToColumn(index.FirstColumn(line));
    }
    ShowCaret();
    viewport()->update();
}

int VerticalView::PaperPages() const {
    // On manuscript paper the columns are the lines the status bar counts, block by block,
    // and the pages follow from them as they do there.
    return static_cast<int>(counts::PagesForLines(static_cast<std::size_t>(TotalColumns())));
}

LineLayout VerticalView::LayoutOf(const QTextBlock& block, const QString& text,
                                  int preeditAt) const {
    if (paper) {
        return paperText.Layout(block.blockNumber(),
                                preeditAt >= 0 ? QStringView(preedit) : QStringView(), preeditAt);
    }
    return LineLayout(text, index.CellsPerColumn());
}

bool VerticalView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &editor && event->type() == QEvent::FontChange) FontChanged();
    return QAbstractScrollArea::eventFilter(watched, event);
}

void VerticalView::FontChanged() {
    cells = std::make_unique<CellPainter>(editor.font(), devicePixelRatioF());
    QFont small = editor.font();
    if (small.pointSizeF() > 0) {
        small.setPointSizeF(small.pointSizeF() / 2);
    } else {
        small.setPixelSize(std::max(1, small.pixelSize() / 2));
    }
    rubyCells = std::make_unique<CellPainter>(small, devicePixelRatioF());
    setFont(editor.font());
    UpdateGeometry();
    viewport()->update();
}

void VerticalView::UpdateGeometry() {
    cell = cells->Cell();
    pitch = std::round(cell * kPitch);
    topMargin = std::round(cell * 0.8);
    rightMargin = std::round(cell * 0.5);
    int perColumn = static_cast<int>(counts::kColumnsPerLine);
    if (!paper) {
        const qreal room = viewport()->height() - 2 * topMargin;
        // One row below the last stays free for a hanging mark.
        perColumn = std::max(kSmallestColumn, static_cast<int>(room / cell) - 1);
    }
    if (index.Active() && perColumn != index.CellsPerColumn()) {
        // The lines flow into other columns: the line at the right edge stays there, and
        // a caret that was in view stays in view.
        const int first = FirstVisibleColumn();
        const int line = index.LineAt(first);
        const int caretColumn = PlaceOf(editor.textCursor().position()).column;
        const bool caretShown = caretColumn >= first && caretColumn < first + VisibleColumns();
        index.SetCellsPerColumn(perColumn);
        UpdateScrollBar();
        ScrollToColumn(index.FirstColumn(line));
        if (caretShown) ShowCaret();
        return;
    }
    UpdateScrollBar();
}

void VerticalView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateGeometry();
}

int VerticalView::FirstVisibleColumn() const {
    return horizontalScrollBar()->value();
}

int VerticalView::VisibleColumns() const {
    return std::max(1, static_cast<int>((viewport()->width() - rightMargin) / pitch));
}

void VerticalView::UpdateScrollBar() {
    if (!index.Active()) return;
    const int visible = VisibleColumns();
    QScrollBar* bar = horizontalScrollBar();
    bar->setRange(0, std::max(0, index.TotalColumns() - visible));
    bar->setPageStep(visible);
    bar->setSingleStep(1);
    // The page's height: the grid, a row for a hanging mark and the page number below.
    const int height =
        static_cast<int>(std::ceil(2 * topMargin + (index.CellsPerColumn() + 2) * cell));
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, paper ? std::max(0, height - viewport()->height()) : 0);
    vertical->setPageStep(viewport()->height());
    vertical->setSingleStep(static_cast<int>(cell));
}

void VerticalView::ScrollToColumn(int column) {
    horizontalScrollBar()->setValue(std::clamp(column, 0, horizontalScrollBar()->maximum()));
}

void VerticalView::scrollContentsBy(int, int) {
    viewport()->update();
    if (hasFocus()) QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

qreal VerticalView::ColumnRight(int visibleIndex) const {
    return viewport()->width() - rightMargin - visibleIndex * pitch;
}

QRectF VerticalView::CellRect(int column, int row) const {
    const qreal right = ColumnRight(column - FirstVisibleColumn());
    return {right - (pitch + cell) / 2, Top() + row * cell, cell, cell};
}

LineLayout::Place VerticalView::PlaceOf(int position) const {
    const QTextBlock block = editor.document()->findBlock(position);
    if (!block.isValid() || !index.Active()) return {};
    const LineLayout layout = LayoutOf(block, block.text());
    const LineLayout::Place place = layout.CaretPlace(position - block.position());
    return {index.FirstColumn(block.blockNumber()) + place.column, place.row};
}

int VerticalView::PositionAtPlace(int column, int row) const {
    if (!index.Active()) return editor.textCursor().position();
    column = std::clamp(column, 0, std::max(0, index.TotalColumns() - 1));
    const int line = index.LineAt(column);
    const QTextBlock block = editor.document()->findBlockByNumber(line);
    const LineLayout layout = LayoutOf(block, block.text());
    if (layout.Columns() == 0) return block.position();
    const int inLine = std::clamp(column - index.FirstColumn(line), 0, layout.Columns() - 1);
    const int begin = layout.ColumnBegin(inLine);
    int end = layout.ColumnEnd(inLine);
    // Within a column that the line wraps out of, the column's end is the next one's start:
    // the caret stays before its last cell.
    if (inLine + 1 < layout.Columns() && row != INT_MAX) end = std::max(begin, end - 1);
    const int cellIndex = begin + std::clamp(row, 0, end - begin);
    return block.position() + layout.PositionOf(cellIndex);
}

int VerticalView::PositionAt(QPointF point) const {
    const int visibleIndex = static_cast<int>(std::floor((ColumnRight(0) - point.x()) / pitch));
    const int row = static_cast<int>(std::lround((point.y() - Top()) / cell));
    return PositionAtPlace(FirstVisibleColumn() + std::max(0, visibleIndex), std::max(0, row));
}

void VerticalView::ShowCaret() {
    if (!index.Active()) return;
    const LineLayout::Place place = PlaceOf(editor.textCursor().position());
    if (paper) {
        // A page higher than the window: its row comes into view too.
        QScrollBar* bar = verticalScrollBar();
        const QRectF caret = CellRect(place.column, place.row);
        if (caret.top() < 0) {
            bar->setValue(bar->value() + static_cast<int>(std::floor(caret.top())));
        } else if (caret.bottom() > viewport()->height()) {
            bar->setValue(bar->value() +
                          static_cast<int>(std::ceil(caret.bottom() - viewport()->height())));
        }
    }
    const int first = FirstVisibleColumn();
    const int visible = VisibleColumns();
    if (place.column >= first && place.column < first + visible) return;
    if (place.column < first - visible || place.column >= first + 2 * visible) {
        // A jump: to the start of a line (a heading of the outline, a block of the
        // preview) puts that line at the right edge, elsewhere the caret in the middle.
        const QTextCursor cursor = editor.textCursor();
        const bool lineStart = !cursor.hasSelection() && cursor.atBlockStart();
        ScrollToColumn(lineStart ? place.column : place.column - visible / 2);
    } else if (place.column < first) {
        ScrollToColumn(place.column);
    } else {
        ScrollToColumn(place.column - visible + 1);
    }
}

int VerticalView::PaperStop(int position, bool forward) const {
    // The caret stops before each character the paper shows and at the end of each line,
    // and steps over the markup between them.
    const QTextBlock block = editor.document()->findBlock(position);
    if (!block.isValid()) return position;
    const int inLine = position - block.position();
    const LineLayout layout = LayoutOf(block, block.text());
    if (forward) {
        for (const Cell& cell : layout.cells) {
            if (cell.shown >= 0 && cell.start > inLine) return block.position() + cell.start;
        }
        if (inLine < layout.length) return block.position() + layout.length;
        const QTextBlock next = block.next();
        if (!next.isValid()) return position;
        for (const Cell& cell : LayoutOf(next, next.text()).cells) {
            if (cell.shown >= 0) return next.position() + cell.start;
        }
        return next.position();
    }
    for (auto cell = layout.cells.rbegin(); cell != layout.cells.rend(); ++cell) {
        if (cell->shown >= 0 && cell->start < inLine) return block.position() + cell->start;
    }
    const QTextBlock previous = block.previous();
    if (!previous.isValid()) return block.position();
    return previous.position() + previous.length() - 1;
}

std::pair<int, int> VerticalView::PaperCharacter(int position, bool before) const {
    const QTextBlock block = editor.document()->findBlock(position);
    if (!block.isValid()) return {position, position};
    const int inLine = position - block.position();
    const LineLayout layout = LayoutOf(block, block.text());
    const Cell* found = nullptr;
    for (const Cell& cell : layout.cells) {
        if (cell.shown < 0 || cell.length == 0) continue;
        if (before ? cell.start < inLine : cell.start >= inLine) {
            found = &cell;
            if (!before) break;
        }
    }
    // None on this side of the caret in the line: the line break goes, as in the editor.
    if (!found) {
        if (before) return {std::max(0, block.position() - 1), block.position()};
        const int end = block.position() + block.length() - 1;
        return {end, block.next().isValid() ? end + 1 : end};
    }
    return {block.position() + found->start, block.position() + found->start + found->length};
}

QRectF VerticalView::CaretRect() const {
    const QTextCursor cursor = editor.textCursor();
    LineLayout::Place place = PlaceOf(cursor.position());
    if (!preedit.isEmpty()) {
        // The caret inside the text being composed, which fills the cells after it.
        const int perColumn = std::max(1, index.CellsPerColumn());
        const int row = place.row + preeditCursor;
        place.column += row / perColumn;
        place.row = row % perColumn;
    }
    return CellRect(place.column, place.row);
}

void VerticalView::MoveCursor(QTextCursor cursor, bool keepRow) {
    if (!keepRow) wantedRow = -1;
    editor.setTextCursor(cursor);
    ShowCaret();
    RestartBlink();
    viewport()->update();
}

bool VerticalView::MoveByKey(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool control = modifiers & Qt::ControlModifier;
    if (modifiers & ~(Qt::ShiftModifier | Qt::ControlModifier)) return false;
    const QTextCursor::MoveMode mode = shift ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor;
    QTextCursor cursor = editor.textCursor();
    const LineLayout::Place place = PlaceOf(cursor.position());
    const int row = wantedRow >= 0 ? wantedRow : place.row;
    auto toPlace = [&](int column, int atRow, bool keepRow) {
        cursor.setPosition(PositionAtPlace(column, atRow), mode);
        if (keepRow) wantedRow = atRow;
        MoveCursor(cursor, keepRow);
    };
    switch (event->key()) {
        case Qt::Key_Down:
        case Qt::Key_Up: {
            if (control) return false;
            const bool down = event->key() == Qt::Key_Down;
            if (paper) {
                cursor.setPosition(PaperStop(cursor.position(), down), mode);
            } else {
                cursor.movePosition(
                    down ? QTextCursor::NextCharacter : QTextCursor::PreviousCharacter, mode);
            }
            MoveCursor(cursor);
            return true;
        }
        case Qt::Key_Left:
            if (control) return false;
            if (place.column + 1 >= index.TotalColumns()) {
                cursor.movePosition(QTextCursor::End, mode);
                MoveCursor(cursor);
            } else {
                toPlace(place.column + 1, row, true);
            }
            return true;
        case Qt::Key_Right:
            if (control) return false;
            if (place.column == 0) {
                cursor.movePosition(QTextCursor::Start, mode);
                MoveCursor(cursor);
            } else {
                toPlace(place.column - 1, row, true);
            }
            return true;
        case Qt::Key_Home:
            if (control) {
                cursor.movePosition(QTextCursor::Start, mode);
                MoveCursor(cursor);
            } else {
                toPlace(place.column, 0, false);
            }
            return true;
        case Qt::Key_End:
            if (control) {
                cursor.movePosition(QTextCursor::End, mode);
                MoveCursor(cursor);
            } else {
                toPlace(place.column, INT_MAX, false);
            }
            return true;
        case Qt::Key_PageDown:
        case Qt::Key_PageUp: {
            if (control) return false;
            const int step =
                event->key() == Qt::Key_PageDown ? VisibleColumns() : -VisibleColumns();
            ScrollToColumn(FirstVisibleColumn() + step);
            toPlace(place.column + step, row, true);
            return true;
        }
        default:
            return false;
    }
}

bool VerticalView::event(QEvent* event) {
    // Tab is typed into the text, as in the editor, instead of moving the focus on.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier))) {
            keyPressEvent(key);
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void VerticalView::keyPressEvent(QKeyEvent* event) {
    if (MoveByKey(event)) return;
    QTextCursor cursor = editor.textCursor();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
        case Qt::Key_Backspace:
        case Qt::Key_Delete: {
            // With Ctrl, to the start of the word (or the end), as the editor does.
            const bool control = modifiers == Qt::ControlModifier;
            if (!control && (modifiers & ~Qt::ShiftModifier)) break;
            const bool back = event->key() == Qt::Key_Backspace;
            if (!back && !control && modifiers != Qt::NoModifier) break;
            if (control && !cursor.hasSelection()) {
                cursor.movePosition(back ? QTextCursor::PreviousWord : QTextCursor::EndOfWord,
                                    QTextCursor::KeepAnchor);
            } else if (paper && !cursor.hasSelection()) {
                // On manuscript paper a character the paper shows goes, not the markup
                // around it.
                const auto [from, to] = PaperCharacter(cursor.position(), back);
                if (to > from) {
                    cursor.setPosition(from);
                    cursor.setPosition(to, QTextCursor::KeepAnchor);
                    cursor.removeSelectedText();
                }
                MoveCursor(cursor);
                return;
            }
            if (back) {
                cursor.deletePreviousChar();
            } else {
                cursor.deleteChar();
            }
            MoveCursor(cursor);
            return;
        }
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (modifiers & ~Qt::ShiftModifier) break;
            cursor.insertBlock();
            MoveCursor(cursor);
            return;
        default:
            break;
    }
    const QString text = event->text();
    const bool typed = !text.isEmpty() && !(modifiers & (Qt::ControlModifier | Qt::AltModifier)) &&
                       (text.at(0).isPrint() || text.at(0) == u'\t');
    if (typed) {
        cursor.insertText(text);
        MoveCursor(cursor);
        return;
    }
    event->ignore();
}

void VerticalView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    QTextCursor cursor = editor.textCursor();
    const int position = PositionAt(event->position());
    cursor.setPosition(position, (event->modifiers() & Qt::ShiftModifier)
                                     ? QTextCursor::KeepAnchor
                                     : QTextCursor::MoveAnchor);
    MoveCursor(cursor);
}

void VerticalView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    // Dragging past the left or right edge scrolls on.
    if (event->position().x() < 0) ScrollToColumn(FirstVisibleColumn() + 1);
    if (event->position().x() > viewport()->width()) ScrollToColumn(FirstVisibleColumn() - 1);
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(PositionAt(event->position()), QTextCursor::KeepAnchor);
    MoveCursor(cursor);
}

void VerticalView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(PositionAt(event->position()));
    cursor.select(QTextCursor::WordUnderCursor);
    MoveCursor(cursor);
}

void VerticalView::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    const int notches = (delta.y() != 0 ? delta.y() : delta.x()) / 120;
    if (event->modifiers() & Qt::ControlModifier) {
        if (notches != 0 && zoomBy) zoomBy(notches);
        event->accept();
        return;
    }
    // Down the wheel, on towards the end of the text: leftwards.
    ScrollToColumn(FirstVisibleColumn() - notches * kWheelColumns);
    event->accept();
}

void VerticalView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    RestartBlink();
    viewport()->update();
}

void VerticalView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    blink->stop();
    viewport()->update();
}

void VerticalView::inputMethodEvent(QInputMethodEvent* event) {
    QTextCursor cursor = editor.textCursor();
    if (!event->commitString().isEmpty() || event->replacementLength() != 0) {
        // The committed text goes in as one edit.
        cursor.beginEditBlock();
        if (event->replacementLength() != 0) {
            const int at = cursor.position() + event->replacementStart();
            cursor.setPosition(at);
            cursor.setPosition(at + event->replacementLength(), QTextCursor::KeepAnchor);
        }
        cursor.insertText(event->commitString());
        cursor.endEditBlock();
    }
    const bool cancelled =
        !preedit.isEmpty() && event->preeditString().isEmpty() && event->commitString().isEmpty();
    preedit = event->preeditString();
    preeditAttributes = event->attributes();
    preeditCursor = static_cast<int>(preedit.size());
    for (const QInputMethodEvent::Attribute& attribute : preeditAttributes) {
        if (attribute.type == QInputMethodEvent::Cursor) preeditCursor = attribute.start;
    }
    MoveCursor(cursor);
    event->accept();
    // The candidate window follows the caret inside the composed text; a composition the
    // author cancelled is forgotten by the input method too, so that nothing of it is
    // committed when the focus moves on.
    QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle | Qt::ImQueryInput);
    if (cancelled) QGuiApplication::inputMethod()->reset();
}

QVariant VerticalView::inputMethodQuery(Qt::InputMethodQuery query) const {
    const QTextCursor cursor = editor.textCursor();
    const QTextBlock block = cursor.block();
    switch (query) {
        case Qt::ImEnabled:
            return true;
        case Qt::ImCursorRectangle:
            return CaretRect().translated(viewport()->pos()).toAlignedRect();
        case Qt::ImFont:
            return editor.font();
        case Qt::ImCursorPosition:
            return cursor.position() - block.position();
        case Qt::ImAnchorPosition:
            return std::clamp(cursor.anchor() - block.position(), 0, block.length() - 1);
        case Qt::ImSurroundingText:
            return block.text();
        case Qt::ImCurrentSelection:
            return cursor.selectedText();
        case Qt::ImHints:
            return static_cast<int>(Qt::ImhMultiLine);
        default:
            return QAbstractScrollArea::inputMethodQuery(query);
    }
}

bool VerticalView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip && lineToolTip && index.Active()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const int line = editor.document()->findBlock(PositionAt(help->pos())).blockNumber();
        const QString tip = lineToolTip(line);
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), tip, this);
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

}  // namespace quirtle::vertical
