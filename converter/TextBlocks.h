// The classification of a whole text, 64 bytes at a time in blocks counted from its
// start, made once and in order as the conversion reaches it. It gives the ends of the
// lines and, within the current line, the stops of the inline scan: each byte is
// classified once, and a line's last bytes share a block with the next line's first.
//
// The parity of second bytes runs on from block to block. That gives each line what a
// scan of the line alone gives: CR and LF are never in the lead range, so no double-byte
// character reaches over a line end.
#pragma once

#include <cstdint>
#include <vector>

#include "StopScanner.h"

namespace quirtle {

class TextBlocks {
  public:
    // Classifies [begin, end) from now on, stopping at the bytes of `stopSet`.
    void Start(const char* begin, const char* end, const scan::StopSet& stopSet,
               scan::ClassifyFunction classify);
    // Forgets the text.
    void Stop();

    // The first CR or LF at or after `lineStart`, or the end of the text. `lineStart` is
    // the start of a line after those asked for before: their blocks are dropped.
    const char* NextLineEnd(const char* lineStart);

    // The stops of the line that the last NextLineEnd found the end of, `lineEnd`.
    class LineStops;
    LineStops StopsOfLine(const char* lineEnd) const;

    struct Block {
        // The stops of the inline scan, and the ends of the lines (CR, LF, and the end of
        // the text, which has a block of its own when it ends a whole block).
        std::uint64_t stops;
        std::uint64_t lineEnds;  // CR and LF
    };

  private:
    // Classifies the blocks after the last one classified, several at a time.
    void ClassifyMore();
    std::size_t Classified() const { return first + (blocks.size() - head); }

    const char* begin = nullptr;
    const char* end = nullptr;
    const scan::StopSet* stopSet = nullptr;
    scan::ClassifyFunction classify = nullptr;
    // The blocks from `first` on, as far as classified, from blocks[head] on (those before
    // are done with and dropped now and then).
    std::vector<Block> blocks;
    std::size_t head = 0;
    std::size_t first = 0;
    std::uint64_t carry = 0;  // the first byte of the next block is a second byte
};

// The stops of one line, found in the classified blocks that hold it.
class TextBlocks::LineStops {
  public:
    LineStops(const char* blocksStart, const Block* blocks, const char* lineEnd)
        : blocksStart(blocksStart), blocks(blocks), lineEnd(lineEnd) {}

    // The first stop at or after `cursor`, a character start of the line, or the line's
    // end when none comes before it.
    const char* Next(const char* cursor) {
        if (cursor >= lineEnd) {
            return lineEnd;
        }
        // The line's end is a stop itself, so the search needs no other bound.
        const auto offset = static_cast<std::size_t>(cursor - blocksStart);
        std::size_t index = offset / 64;
        if (index != cachedIndex) {
            cachedIndex = index;
            cachedStops = blocks[index].stops;
        }
        std::uint64_t ahead = cachedStops & (~std::uint64_t{0} << (offset % 64));
        while (ahead == 0) {
            ++index;
            ahead = blocks[index].stops;
            cachedIndex = index;
            cachedStops = ahead;
        }
        return blocksStart + index * 64 + __builtin_ctzll(ahead);
    }

  private:
    const char* const blocksStart;  // where blocks[0] starts
    const Block* const blocks;
    const char* const lineEnd;
    std::size_t cachedIndex = ~std::size_t{0};  // the block last read, and its stops
    std::uint64_t cachedStops = 0;
};

inline TextBlocks::LineStops TextBlocks::StopsOfLine(const char* lineEnd) const {
    return LineStops(begin + first * 64, blocks.data() + head, lineEnd);
}

}  // namespace quirtle
