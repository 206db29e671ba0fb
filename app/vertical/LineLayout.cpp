#include "vertical/LineLayout.h"

#include <algorithm>

namespace quirtle::vertical {

namespace {

bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool IsBang(QChar c) {
    return c == u'!' || c == u'?';
}

// The length of the run of characters matching `is` from `at`.
template <typename Is>
int RunLength(QStringView line, int at, Is is) {
    int end = at;
    while (end < line.size() && is(line[end])) ++end;
    return end - at;
}

char32_t CodePointAt(QStringView line, int at, int* length) {
    const QChar c = line[at];
    if (c.isHighSurrogate() && at + 1 < line.size() && line[at + 1].isLowSurrogate()) {
        *length = 2;
        return QChar::surrogateToUcs4(c, line[at + 1]);
    }
    *length = 1;
    return c.unicode();
}

char32_t CellCodePoint(QStringView line, const Cell& cell) {
    int length = 0;
    return CodePointAt(line, cell.start, &length);
}

}  // namespace

std::vector<Cell> LineCells(QStringView line) {
    std::vector<Cell> cells;
    cells.reserve(static_cast<std::size_t>(line.size()));
    const int size = static_cast<int>(line.size());
    for (int at = 0; at < size;) {
        const QChar c = line[at];
        // Two half-width digits, or !? and !!, stand side by side; longer runs are turned.
        if (IsAsciiDigit(c) && (at == 0 || !IsAsciiDigit(line[at - 1]))) {
            if (RunLength(line, at, IsAsciiDigit) == 2) {
                cells.push_back({at, 2, Glyph::SideBySide});
                at += 2;
                continue;
            }
        }
        if (c == u'!' && (at == 0 || !IsBang(line[at - 1])) && RunLength(line, at, IsBang) == 2) {
            cells.push_back({at, 2, Glyph::SideBySide});
            at += 2;
            continue;
        }
        int length = 0;
        const char32_t code = CodePointAt(line, at, &length);
        cells.push_back({at, length, GlyphOf(code)});
        at += length;
    }
    return cells;
}

namespace {

// The columns of `cells` in `line`: calls `column(first cell)` for each.
template <typename Column>
void BreakColumns(QStringView line, const std::vector<Cell>& cells, int cellsPerColumn,
                  Column column) {
    const int count = static_cast<int>(cells.size());
    const int perColumn = std::max(1, cellsPerColumn);
    int first = 0;
    column(0);
    while (count - first > perColumn) {
        int next = first + perColumn;
        const char32_t head = CellCodePoint(line, cells[static_cast<std::size_t>(next)]);
        if (NeverStartsColumn(head)) {
            // One closing mark hangs below the column when what follows it may start the
            // next; otherwise characters move on to the next column with it.
            const bool followerFits =
                next + 1 >= count ||
                !NeverStartsColumn(CellCodePoint(line, cells[static_cast<std::size_t>(next + 1)]));
            if (MayHang(head) && followerFits) {
                ++next;
            } else {
                auto forbidden = [&](int at) {
                    return NeverStartsColumn(
                        CellCodePoint(line, cells[static_cast<std::size_t>(at)]));
                };
                int back = next;
                while (back > first + 1 && forbidden(back)) --back;
                // A column of nothing but such characters is cut where it is full.
                if (!forbidden(back)) next = back;
            }
        }
        if (next >= count) break;
        first = next;
        column(first);
    }
}

}  // namespace

int LineColumns(QStringView line, int cellsPerColumn) {
    const std::vector<Cell> cells = LineCells(line);
    int columns = 0;
    BreakColumns(line, cells, cellsPerColumn, [&columns](int) { ++columns; });
    return columns;
}

LineLayout::LineLayout(QStringView line, int cellsPerColumn)
    : cells(LineCells(line)), length(static_cast<int>(line.size())) {
    BreakColumns(line, cells, cellsPerColumn, [this](int first) { columnStarts.push_back(first); });
}

int LineLayout::ColumnEnd(int column) const {
    if (column < 0 || column >= Columns()) return static_cast<int>(cells.size());
    return column + 1 < Columns() ? columnStarts[static_cast<std::size_t>(column + 1)]
                                  : static_cast<int>(cells.size());
}

int LineLayout::CellAt(int position) const {
    auto after = std::upper_bound(cells.begin(), cells.end(), position,
                                  [](int at, const Cell& cell) { return at < cell.start; });
    if (after == cells.begin()) return 0;
    const auto index = static_cast<int>(after - cells.begin()) - 1;
    const Cell& cell = cells[static_cast<std::size_t>(index)];
    return position >= cell.start + cell.length ? index + 1 : index;
}

int LineLayout::PositionOf(int cell) const {
    if (cell >= static_cast<int>(cells.size())) return length;
    return cells[static_cast<std::size_t>(std::max(0, cell))].start;
}

int LineLayout::ColumnOf(int cell) const {
    auto after = std::upper_bound(columnStarts.begin(), columnStarts.end(), cell);
    return std::max(0, static_cast<int>(after - columnStarts.begin()) - 1);
}

LineLayout::Place LineLayout::CaretPlace(int position) const {
    if (columnStarts.empty()) return {};
    const int cell = CellAt(position);
    const int column = ColumnOf(cell);
    return {column, cell - ColumnBegin(column)};
}

}  // namespace quirtle::vertical
