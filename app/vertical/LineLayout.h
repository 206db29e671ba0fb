// One manuscript line set in vertical columns of a fixed number of cells: the cells its
// characters take and where its columns break. No widgets, no fonts: only positions.
#pragma once

#include <QString>
#include <QStringView>
#include <vector>

#include "vertical/CharClasses.h"

namespace quirtle::vertical {

// One cell: the characters of the line it shows (one character, a surrogate pair, or two
// half-width characters side by side).
struct Cell {
    int start = 0;   // position in the line (UTF-16 units)
    int length = 1;  // UTF-16 units
    Glyph glyph = Glyph::Upright;
    // On manuscript paper: where the cell's character stands in LineLayout::shown (-1 for
    // the blank cell that indents a block), and whether it is emphasised.
    int shown = -1;
    bool emphasis = false;
    bool operator==(const Cell&) const = default;
};

// The cells of a line, in order.
std::vector<Cell> LineCells(QStringView line);

// The number of columns a line takes (what LineLayout(...).Columns() gives).
int LineColumns(QStringView line, int cellsPerColumn);

// A line laid out: its cells and where its columns start (the index of each column's first
// cell). A line always takes at least one column (an empty one has no cells). A column holds
// `cellsPerColumn` cells, and one more that hangs below its last cell when the line-head
// rules want it there.
struct LineLayout {
    std::vector<Cell> cells;
    std::vector<int> columnStarts;
    int length = 0;  // of the line, in UTF-16 units
    // Manuscript paper shows the reader's text, not the line as typed: the characters of
    // its cells, and the readings set beside runs of cells.
    bool paper = false;
    QString shown;
    struct Reading {
        int firstCell = 0;
        int cells = 0;
        QString text;
    };
    std::vector<Reading> readings;

    LineLayout() = default;
    LineLayout(QStringView line, int cellsPerColumn);
    int Columns() const { return static_cast<int>(columnStarts.size()); }
    // Cells of column `column`: [first, end).
    int ColumnBegin(int column) const { return columnStarts[static_cast<std::size_t>(column)]; }
    int ColumnEnd(int column) const;
    // The index of the cell that holds line position `position` (cells.size() at the end).
    int CellAt(int position) const;
    // The line position at the start of cell `cell` (the line's length past the last).
    int PositionOf(int cell) const;
    // The column of the cell, and its row in the column.
    int ColumnOf(int cell) const;
    // Column and row where the caret at `position` is drawn: the end of the line sits after
    // its last cell (in the next row, or at the top of a further column when the last is
    // full, for a line that ends exactly at a column end). A line with no columns (on
    // manuscript paper) has its caret at the top of where its first column would be.
    struct Place {
        int column = 0;
        int row = 0;
    };
    Place CaretPlace(int position) const;
};

}  // namespace quirtle::vertical
