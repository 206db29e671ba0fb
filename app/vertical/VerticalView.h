// The manuscript in vertical writing: columns top to bottom, right to left, on a grid of
// cells. A second view of the editor's document and cursor (text, undo history, modified
// flag, caret and selection are the editor's own), which paints only the columns on screen.
#pragma once

#include <QAbstractScrollArea>
#include <QTextCursor>
#include <QTextLayout>
#include <QTimer>
#include <functional>
#include <memory>
#include <utility>

#include "vertical/ColumnIndex.h"
#include "vertical/LineLayout.h"
#include "vertical/PaperText.h"

class QPlainTextEdit;

namespace quirtle::vertical {

class CellPainter;

class VerticalView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    // Shows `editor`'s document and moves `editor`'s cursor.
    explicit VerticalView(QPlainTextEdit& editor, QWidget* parent = nullptr);
    ~VerticalView() override;

    // Starts or stops following the document (the view is shown or hidden).
    void SetActive(bool active);
    bool Active() const { return index.Active(); }

    // Manuscript paper: 20 × 20 cells a page, ruled, with page boundaries and numbers.
    void SetManuscriptPaper(bool on);
    bool ManuscriptPaper() const { return paper; }
    // The pages the text fills on manuscript paper (the number the last page shows).
    int PaperPages() const;

    // The tooltip of a line (why the converter rejected it); lines with one are marked.
    void SetLineToolTip(std::function<QString(int line)> tip) { lineToolTip = std::move(tip); }
    // Ctrl and the mouse wheel: the font larger (positive) or smaller.
    void SetZoom(std::function<void(int steps)> zoom) { zoomBy = std::move(zoom); }

    // Geometry, for tests and the input method.
    int CellsPerColumn() const { return index.CellsPerColumn(); }
    int FirstVisibleColumn() const;
    int VisibleColumns() const;  // wholly visible
    int TotalColumns() const { return index.TotalColumns(); }
    // The rectangle (viewport coordinates) of the cell at `row` of global column `column`.
    QRectF CellRect(int column, int row) const;
    // The document position nearest to a viewport point.
    int PositionAt(QPointF point) const;
    // The global column and row of the caret drawn at document position `position`.
    LineLayout::Place PlaceOf(int position) const;
    // The document position at `row` of global column `column` (the column's end when the
    // row is past it).
    int PositionAtPlace(int column, int row) const;
    // Scrolls so the caret is in view; far jumps put it in the middle.
    void ShowCaret();
    QString PreeditText() const { return preedit; }
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void FontChanged();
    void UpdateGeometry();
    void UpdateScrollBar();
    void ScrollToColumn(int column);
    void MoveCursor(QTextCursor cursor, bool keepRow = false);
    bool MoveByKey(QKeyEvent* event);
    QRectF CaretRect() const;
    // On manuscript paper: the caret's next stop down (or up) from `position`, and the
    // characters of the cell before (or after) it, [from, to) in the document.
    int PaperStop(int position, bool forward) const;
    std::pair<int, int> PaperCharacter(int position, bool before) const;
    // The caret's place counts the pre-edit text as typed.
    int ViewportRightEdge() const;
    qreal ColumnRight(int visibleIndex) const;
    // The top of the grid: on manuscript paper a window lower than the page scrolls it.
    qreal Top() const;
    void RestartBlink();
    // Line `block` laid out as the view shows it: as typed, or on manuscript paper; with
    // the text being composed at `preeditAt` when there is one.
    LineLayout LayoutOf(const QTextBlock& block, const QString& text, int preeditAt = -1) const;

    QPlainTextEdit& editor;
    PaperText paperText;
    ColumnIndex index;
    std::unique_ptr<CellPainter> cells;
    std::unique_ptr<CellPainter> rubyCells;  // the readings on manuscript paper, half size
    std::function<QString(int line)> lineToolTip;
    std::function<void(int steps)> zoomBy;
    bool paper = false;
    qreal cell = 16;
    qreal pitch = 27;
    qreal topMargin = 8;
    qreal rightMargin = 8;
    int wantedRow = -1;  // the row ← and → keep while moving between columns
    bool caretOn = true;
    QTimer* blink = nullptr;
    QString preedit;
    QList<QInputMethodEvent::Attribute> preeditAttributes;
    int preeditCursor = 0;
};

}  // namespace quirtle::vertical
