#include "vertical/ColumnIndex.h"

#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

#include "vertical/LineLayout.h"
#include "vertical/PaperText.h"

namespace quirtle::vertical {

ColumnIndex::ColumnIndex(QTextDocument& document, QObject* parent)
    : QObject(parent), document(document) {
    // A document announces its edits only once it has a layout (an editor gives it one).
    document.documentLayout();
    connect(&document, &QTextDocument::contentsChange, this, &ColumnIndex::ContentsChange);
}

void ColumnIndex::SetCellsPerColumn(int cells) {
    cells = std::max(1, cells);
    if (cells == cellsPerColumn) return;
    cellsPerColumn = cells;
    // Manuscript paper has columns of its own length.
    if (active && !paper) Recount();
}

void ColumnIndex::SetPaper(PaperText* text) {
    if (text == paper) return;
    if (paper) paper->Clear();
    paper = text;
    if (active) Recount();
}

namespace {

// Lines [first, last] of the document as the paper reads them: UTF-8, LF between them, a
// no-break space as the plain space the saved file has. A line separator inside a line
// (which the editor does not let in) is read as a space, so lines stay the document's.
std::string PaperLines(QTextBlock block, const QTextBlock& last) {
    QString text;
    for (; block.isValid(); block = block.next()) {
        text += block.text();
        if (block == last) break;
        text += u'\n';
    }
    for (QChar& c : text) {
        if (c == QChar::Nbsp || c == QChar::LineSeparator) c = u' ';
    }
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

}  // namespace

int ColumnIndex::ReadPaper() {
    return paper->Read(PaperLines(document.begin(), document.lastBlock()));
}

bool ColumnIndex::PaperUnchanged(int from, int to) const {
    if (to >= paper->Lines()) return false;
    QTextBlock block = document.findBlockByNumber(from);
    for (int line = from; line <= to; ++line, block = block.next()) {
        if (!block.isValid() || !paper->Holds(line, block.text())) return false;
    }
    return true;
}

void ColumnIndex::SetActive(bool on) {
    if (on == active) return;
    active = on;
    if (active) {
        Recount();
    } else {
        if (paper) paper->Clear();
        columns.clear();
        firsts.clear();
        columns.shrink_to_fit();
        firsts.shrink_to_fit();
        validSums = 0;
    }
}

void ColumnIndex::Recount() {
    if (paper) {
        ReadPaper();
        columns = paper->AllColumns();
        validSums = 0;
        emit Changed(0);
        return;
    }
    columns.clear();
    columns.reserve(static_cast<std::size_t>(document.blockCount()));
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        columns.push_back(LineColumns(block.text(), cellsPerColumn));
    }
    validSums = 0;
    emit Changed(0);
}

void ColumnIndex::ContentsChange(int position, int removed, int added) {
    if (!active) return;
    const int lines = document.blockCount();
    const int oldLines = static_cast<int>(columns.size());
    const QTextBlock first = document.findBlock(position);
    const int from = first.isValid() ? first.blockNumber() : 0;
    QTextBlock last = document.findBlock(position + added);
    if (!last.isValid()) last = document.lastBlock();
    const int to = std::max(from, last.blockNumber());  // changed lines [from, to] now
    if (paper) {
        // The markup colours change the document's formats, not its text.
        if (removed == added && lines == oldLines && PaperUnchanged(from, to)) return;
        const int oldLast = to - (lines - oldLines);
        int changed = paper->Replace(from, oldLast - from + 1,
                                     PaperLines(first, document.findBlockByNumber(to)));
        if (changed < 0) changed = ReadPaper();
        columns = paper->AllColumns();
        validSums = std::min(validSums, static_cast<std::size_t>(changed) + 1);
        emit Changed(std::min(changed, from));
        return;
    }
    const int oldTo = to - (lines - oldLines);  // and [from, oldTo] before
    if (oldTo < from || oldTo >= oldLines) {
        Recount();  // the document was replaced under the index
        return;
    }
    std::vector<int> counted;
    counted.reserve(static_cast<std::size_t>(to - from + 1));
    QTextBlock block = first;
    for (int line = from; line <= to && block.isValid(); ++line, block = block.next()) {
        counted.push_back(LineColumns(block.text(), cellsPerColumn));
    }
    columns.erase(columns.begin() + from, columns.begin() + oldTo + 1);
    columns.insert(columns.begin() + from, counted.begin(), counted.end());
    validSums = std::min(validSums, static_cast<std::size_t>(from) + 1);
    emit Changed(from);
}

void ColumnIndex::UpdateSums() const {
    if (validSums > columns.size()) validSums = 0;
    firsts.resize(columns.size() + 1);
    if (validSums == 0) firsts[0] = 0;
    const std::size_t start = validSums == 0 ? 0 : validSums - 1;
    for (std::size_t i = start; i < columns.size(); ++i) firsts[i + 1] = firsts[i] + columns[i];
    validSums = columns.size() + 1;
}

int ColumnIndex::TotalColumns() const {
    return FirstColumn(Lines());
}

int ColumnIndex::FirstColumn(int line) const {
    if (validSums <= static_cast<std::size_t>(line)) UpdateSums();
    return firsts[static_cast<std::size_t>(std::clamp(line, 0, Lines()))];
}

int ColumnIndex::LineAt(int column) const {
    if (validSums < columns.size() + 1) UpdateSums();
    if (columns.empty()) return 0;
    auto after = std::upper_bound(firsts.begin(), firsts.end() - 1, column);
    return std::clamp(static_cast<int>(after - firsts.begin()) - 1, 0, Lines() - 1);
}

}  // namespace quirtle::vertical
