#pragma once

#include <QString>
#include <QStringView>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quirtle {

// One piece of the preview's fragment as the page builds it. The fragment is cut into the
// elements the converter writes at the top level; a section's element is not one piece but
// opens a container whose blocks follow it, up to the piece that closes it. So an edit in a
// chapter changes one paragraph's piece, not the whole chapter's.
struct PreviewBlock {
    enum class Kind : std::uint8_t {
        Leaf,   // an element (with the text that follows it), or text alone
        Open,   // the start tag of a section's element
        Close,  // the end tag of a section's element
    };
    Kind kind = Kind::Leaf;
    std::uint32_t begin = 0;  // in UTF-16 units of the fragment
    std::uint32_t length = 0;
    std::uint32_t line = 0;  // the manuscript line whose output the piece begins in
};

// Where one manuscript line's output begins in the fragment (UTF-16 units), and whether the
// line is a section line (its output opens sections).
struct PreviewLineStart {
    std::uint32_t line = 0;
    std::uint32_t offset = 0;
    bool section = false;
};

// The fragment as the page gets it, with its pieces.
struct PreviewDocument {
    QString html;
    std::vector<PreviewBlock> blocks;

    QStringView Text(const PreviewBlock& block) const {
        return QStringView(html).mid(block.begin, block.length);
    }
    // The index of the last element block that begins at or before the line's output: the
    // block that shows the line (0 when there are none).
    std::size_t BlockOfLine(std::uint32_t line) const;
};

// Cuts the fragment into its blocks. `lines` are in order of offset; without them every
// top-level element is one block and every block is on line 0.
std::vector<PreviewBlock> SplitIntoBlocks(QStringView html,
                                          const std::vector<PreviewLineStart>& lines);

// What turns the blocks the page shows into the next ones: blocks [start, start + removed)
// of the shown document go, blocks [start, start + inserted) of the next come in their
// place. Both runs are whole: every section opened in them is closed in them and none is
// closed that was opened before, so the page can swap them under one container.
struct PreviewPatch {
    std::size_t start = 0;
    std::size_t removed = 0;
    std::size_t inserted = 0;
    bool Empty() const { return removed == 0 && inserted == 0; }
};

PreviewPatch MakePatch(const PreviewDocument& shown, const PreviewDocument& next);

}  // namespace quirtle
