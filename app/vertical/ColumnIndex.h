// The columns every line of a document takes, kept up to date as lines change, so that
// the view finds the line at a scroll position without laying out the whole text.
#pragma once

#include <QObject>
#include <vector>

class QTextDocument;

namespace quirtle::vertical {

class PaperText;

class ColumnIndex : public QObject {
    Q_OBJECT
  public:
    explicit ColumnIndex(QTextDocument& document, QObject* parent = nullptr);

    // Counts every line again for columns of `cellsPerColumn` cells.
    void SetCellsPerColumn(int cellsPerColumn);
    int CellsPerColumn() const { return cellsPerColumn; }
    // Counts the lines as manuscript paper shows them (`paper` reads the document), or as
    // typed (nullptr).
    void SetPaper(PaperText* paper);
    // Stops following the document (while the view is not shown) or starts again, counting
    // every line afresh.
    void SetActive(bool active);
    bool Active() const { return active; }

    int TotalColumns() const;
    // The first column of line `line` (the total past the last line).
    int FirstColumn(int line) const;
    int Columns(int line) const { return columns[static_cast<std::size_t>(line)]; }
    // The line that holds column `column` (the last line past the end).
    int LineAt(int column) const;
    int Lines() const { return static_cast<int>(columns.size()); }

  signals:
    // Lines from `line` on may have moved or changed.
    void Changed(int line);

  private:
    void Recount();
    // Reads the document onto the paper again; the first line whose columns changed.
    int ReadPaper();
    bool PaperUnchanged(int from, int to) const;
    void ContentsChange(int position, int removed, int added);
    void UpdateSums() const;

    QTextDocument& document;
    PaperText* paper = nullptr;
    int cellsPerColumn = 20;
    bool active = false;
    std::vector<int> columns;
    // Prefix sums: firsts[i] = columns before line i. Valid below `validSums`; edits usually
    // happen near the caret, and the sums after it are made again only when asked for.
    mutable std::vector<int> firsts;
    mutable std::size_t validSums = 0;
};

}  // namespace quirtle::vertical
