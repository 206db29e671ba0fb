// Painting of the vertical view: only the columns on screen are laid out and drawn.
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

#include "counts/TextCounts.h"
#include "vertical/CellPainter.h"
#include "vertical/VerticalView.h"

namespace quirtle::vertical {

namespace {

// Colours of the line's UTF-16 units: the text colour, then each format range of the
// block's layout (the markup colours) in order, inner elements after outer ones.
std::vector<QColor> UnitColours(const QTextBlock& block, int length, const QColor& text) {
    std::vector<QColor> colours(static_cast<std::size_t>(length), text);
    if (const QTextLayout* layout = block.layout()) {
        for (const QTextLayout::FormatRange& range : layout->formats()) {
            if (!range.format.hasProperty(QTextFormat::ForegroundBrush)) continue;
            const QColor colour = range.format.foreground().color();
            const int end = std::min(length, range.start + range.length);
            for (int at = std::max(0, range.start); at < end; ++at)
                colours[static_cast<std::size_t>(at)] = colour;
        }
    }
    return colours;
}

}  // namespace

void VerticalView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QPalette& colours = palette();
    painter.fillRect(viewport()->rect(), colours.color(QPalette::Base));
    if (!index.Active()) return;

    const int perColumn = index.CellsPerColumn();
    const int first = FirstVisibleColumn();
    const int shown = VisibleColumns() + 2;  // the partly visible ones too
    const QTextCursor cursor = editor.textCursor();
    const int selectionStart = cursor.selectionStart();
    const int selectionEnd = cursor.selectionEnd();
    const QTextBlock caretBlock = cursor.block();
    const QColor textColour = colours.color(QPalette::Text);
    const QColor selectedText = colours.color(QPalette::HighlightedText);
    const QColor selection = colours.color(QPalette::Highlight);
    const QColor rule(200, 120, 110);
    const qreal gridHeight = perColumn * cell;

    // The caret's column, faintly.
    const LineLayout::Place caret = PlaceOf(cursor.position());
    if (caret.column >= first && caret.column < first + shown && hasFocus()) {
        const QRectF rect = CellRect(caret.column, 0);
        painter.fillRect(
            QRectF(rect.left() - (pitch - cell) / 2 + 1, Top(), pitch - 2, gridHeight + cell),
            QColor(128, 128, 128, 18));
    }

    struct RubyText {
        QPointF top;  // top left of the room beside the base
        qreal span;   // height of the base
        QString text;
    };
    std::vector<RubyText> rubies;

    int line = index.LineAt(first);
    QTextBlock block = editor.document()->findBlockByNumber(line);
    int shift = 0;  // columns the text being composed adds before the lines that follow
    for (; block.isValid(); block = block.next(), ++line) {
        const int lineFirst = index.FirstColumn(line) + shift;
        if (lineFirst >= first + shown) break;
        QString text = block.text();
        std::vector<QColor> unitColours =
            UnitColours(block, static_cast<int>(text.size()), textColour);
        int preeditAt = -1;
        if (!preedit.isEmpty() && block == caretBlock) {
            preeditAt = cursor.position() - block.position();
            text.insert(preeditAt, preedit);
            unitColours.insert(unitColours.begin() + preeditAt,
                               static_cast<std::size_t>(preedit.size()), textColour);
        }
        const LineLayout layout = LayoutOf(block, text, preeditAt);
        if (preeditAt >= 0) shift += layout.Columns() - index.Columns(line);
        const bool rejected = lineToolTip && !lineToolTip(line).isEmpty();
        for (const LineLayout::Reading& reading : layout.readings) {
            const int column = layout.ColumnOf(reading.firstCell);
            const int global = lineFirst + column;
            if (global < first || global >= first + shown) continue;
            const int row = reading.firstCell - layout.ColumnBegin(column);
            const int rows = std::min(reading.cells, perColumn - row);
            const QRectF rect = CellRect(global, row);
            rubies.push_back({QPointF(rect.right() + 1, rect.top()), rows * cell, reading.text});
        }
        for (int column = 0; column < layout.Columns(); ++column) {
            const int global = lineFirst + column;
            if (global < first) continue;
            if (global >= first + shown) break;
            const QRectF top = CellRect(global, 0);
            if (rejected) {
                // A line the converter rejects is marked beside its columns.
                painter.fillRect(QRectF(top.right() + (pitch - cell) / 2 - 3, Top(), 2, gridHeight),
                                 QColor(220, 40, 40));
            }
            const int end = layout.ColumnEnd(column);
            for (int cellIndex = layout.ColumnBegin(column); cellIndex < end; ++cellIndex) {
                const Cell& unit = layout.cells[static_cast<std::size_t>(cellIndex)];
                // The blank cell that opens a block on manuscript paper.
                if (layout.paper && unit.shown < 0) continue;
                const int row = cellIndex - layout.ColumnBegin(column);
                const QRectF rect = CellRect(global, row);
                int start = unit.start;
                bool composing = false;
                if (preeditAt >= 0 && start >= preeditAt) {
                    composing = start < preeditAt + preedit.size();
                    if (!composing) start -= static_cast<int>(preedit.size());
                }
                const int position = block.position() + start;
                QColor colour =
                    layout.paper ? textColour : unitColours[static_cast<std::size_t>(unit.start)];
                if (!composing && position >= selectionStart && position < selectionEnd) {
                    painter.fillRect(rect, selection);
                    colour = selectedText;
                }
                if (composing) {
                    // The text being composed: a line beside it, thick under the clause
                    // being converted.
                    const int inPreedit = unit.start - preeditAt;
                    bool clause = false;
                    for (const QInputMethodEvent::Attribute& attribute : preeditAttributes) {
                        if (attribute.type != QInputMethodEvent::TextFormat) continue;
                        const QTextCharFormat format =
                            qvariant_cast<QTextFormat>(attribute.value).toCharFormat();
                        if (inPreedit >= attribute.start &&
                            inPreedit < attribute.start + attribute.length &&
                            (format.background().style() != Qt::NoBrush ||
                             (format.underlineStyle() == QTextCharFormat::SingleUnderline &&
                              format.fontWeight() > QFont::Normal))) {
                            clause = true;
                        }
                    }
                    if (clause) painter.fillRect(rect, QColor(128, 128, 255, 50));
                    painter.fillRect(QRectF(rect.left() - 2, rect.top() + 1, clause ? 2.5 : 1,
                                            rect.height() - 2),
                                     textColour);
                }
                if (layout.paper) {
                    const QStringView shown(layout.shown);
                    const int units = shown[unit.shown].isHighSurrogate() ? 2 : 1;
                    cells->Add(shown.sliced(unit.shown, units), unit.glyph, rect.topLeft(), colour);
                    // Emphasis: a dot beside the character.
                    if (unit.emphasis) {
                        painter.setPen(Qt::NoPen);
                        painter.setBrush(colour);
                        painter.drawEllipse(QPointF(rect.right() + cell * 0.22, rect.center().y()),
                                            cell * 0.09, cell * 0.09);
                        painter.setBrush(Qt::NoBrush);
                    }
                } else {
                    cells->Add(QStringView(text).sliced(unit.start, unit.length), unit.glyph,
                               rect.topLeft(), colour);
                }
            }
        }
    }

    // Readings of rubies on manuscript paper: small, beside the run of their base, in the
    // column where the base starts.
    for (const RubyText& ruby : rubies) {
        const int count = static_cast<int>(ruby.text.size());
        const qreal size = std::min(cell / 2, count > 0 ? ruby.span / count : cell / 2);
        const qreal top = ruby.top.y() + std::max(0.0, (ruby.span - size * count) / 2);
        for (int i = 0; i < count; ++i) {
            const QStringView character = QStringView(ruby.text).sliced(i, 1);
            rubyCells->Add(character, GlyphOf(character.front().unicode()),
                           QPointF(ruby.top.x(), top + i * size), textColour);
        }
    }

    if (paper) {
        // Ruled cells, the page boundaries and the page numbers in the margin below.
        painter.setPen(QPen(rule, 0));
        // The pages the text fills, and no further.
        const int paperColumns =
            std::max(1, PaperPages()) * static_cast<int>(counts::kLinesPerPage);
        for (int global = first; global < std::min(first + shown, paperColumns); ++global) {
            for (int row = 0; row < perColumn; ++row) painter.drawRect(CellRect(global, row));
            const QRectF top = CellRect(global, 0);
            const qreal right = top.right() + (pitch - cell) / 2;
            if (global % static_cast<int>(counts::kLinesPerPage) == 0) {
                painter.setPen(QPen(rule, 2));
                painter.drawLine(QPointF(right, Top() - topMargin / 2),
                                 QPointF(right, Top() + gridHeight + cell));
                painter.setPen(QPen(rule, 0));
                const int page = global / static_cast<int>(counts::kLinesPerPage) + 1;
                const QRectF label(right - pitch * 3, Top() + gridHeight + cell * 0.2,
                                   pitch * 3 - 4, cell * 1.2);
                painter.drawText(label, Qt::AlignRight | Qt::AlignTop,
                                 page == PaperPages()
                                     ? QStringLiteral("%1 / %2").arg(page).arg(PaperPages())
                                     : QString::number(page));
            }
        }
    }
    cells->Flush(painter);
    rubyCells->Flush(painter);

    // The caret: a bar as wide as a cell, blinking.
    if (hasFocus() && caretOn && caret.column >= first && caret.column < first + shown) {
        const QRectF rect = CaretRect();
        painter.fillRect(QRectF(rect.left() - 1, rect.top() - 1, rect.width() + 2, 2), textColour);
    }
}

}  // namespace quirtle::vertical
