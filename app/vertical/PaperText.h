// The manuscript as manuscript paper shows it: the text the reader sees, block by block,
// each block after a one-cell indent on columns of 20 cells, with the readings of its
// rubies and its emphasis. The markup itself takes no cells, so the pages the paper fills
// are the pages the status bar counts. No widgets: only text and positions.
#pragma once

#include <QString>
#include <QStringView>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "vertical/LineLayout.h"

namespace quirtle::vertical {

class PaperText {
  public:
    // Reads the whole manuscript (UTF-8, one line for each line of the document, LF
    // between them) and returns the first line whose columns changed since the last read
    // (Lines() when none did).
    int Read(std::string manuscript);
    // Lines [from, from + removed) of the text read were replaced by `lines` (UTF-8, LF
    // between them); reads the text again, and returns as Read does (-1, reading nothing,
    // when those lines were not there). The whole text is
    // converted again (a line can change how the lines after it read), but only the lines
    // whose output changed are counted again.
    int Replace(int from, int removed, std::string_view lines);
    // Forgets the text (the paper is not shown).
    void Clear();

    int Lines() const { return static_cast<int>(columns.size()); }
    // Columns of 20 cells that the text of line `line` fills: none for a line that shows
    // nothing (a blank line, a command), one or more for each block of text it holds.
    int Columns(int line) const { return columns[static_cast<std::size_t>(line)]; }
    const std::vector<int>& AllColumns() const { return columns; }
    // True when line `line` as read is `text`.
    bool Holds(int line, QStringView text) const;

    // Line `line` laid out on the paper, its cells pointing at positions of the line as
    // the document holds it (UTF-16 units). With `preedit`, the text being composed at
    // `preeditAt` takes cells of its own after the characters before it, as if typed there
    // (positions after it then count the composed text).
    LineLayout Layout(int line, QStringView preedit = {}, int preeditAt = -1) const;

  private:
    int Reread(std::string manuscript, int from, int removed, int added);
    LineLayout LayOut(int line, QStringView preedit, int preeditAt) const;
    static std::string_view Fragment(const std::string& output,
                                     const std::vector<std::size_t>& starts, std::size_t line);

    std::string source;                   // the manuscript
    std::vector<std::size_t> lineStarts;  // where each line starts in `source`
    std::string xml;                      // its export document, in UTF-8
    std::vector<std::size_t> xmlStarts;   // where each line's output starts in `xml`
    std::vector<int> columns;
    // The line laid out last: painting and moving the caret ask for the same line often.
    struct Laid {
        int line = -1;
        QString preedit;
        int preeditAt = -1;
        LineLayout layout;
    };
    mutable Laid last;
};

}  // namespace quirtle::vertical
