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
#include "TextEncoding.h"

namespace quirtle {

class TextBlocks {
  public:
    // Classifies [begin, end) from now on, stopping at the bytes of `stopSet`. For UTF-8,
    // `classify` is scan::TextClassifier, which reads the 3 bytes before each block, and
    // no byte is the second byte of a character.
    void Start(const char* begin, const char* end, const scan::StopSet& stopSet,
               scan::ClassifyFunction classify, TextEncoding encoding = TextEncoding::ShiftJis);
    // Forgets the text.
    void Stop();

    // The first CR or LF at or after `lineStart`, or the end of the text. `lineStart` is
    // the start of a line after those asked for before: their blocks are dropped.
    const char* NextLineEnd(const char* lineStart);

    // The stops of the line that the last NextLineEnd found the end of.
    class LineStops;
    LineStops StopsOfLine() const;

    struct Block {
        // The stops of the inline scan, and the ends of the lines (CR and LF). The end of the
        // text is in both, in a block of its own when the text ends with a whole block.
        std::uint64_t stops;
        std::uint64_t lineEnds;
    };

  private:
    // Classifies the blocks after the last one classified, several at a time.
    void ClassifyMore();

    const char* begin = nullptr;
    const char* end = nullptr;
    const scan::StopSet* stopSet = nullptr;
    scan::ClassifyFunction classify = nullptr;
    bool utf8 = false;
    // The blocks from `first` on, as far as classified, from blocks[head] on (those before
    // are done with and dropped now and then).
    std::vector<Block> blocks;
    std::size_t head = 0;
    std::size_t first = 0;
    std::size_t classifiedEnd = 0;  // the blocks before this one are classified
    std::uint64_t carry = 0;        // the first byte of the next block is a second byte
};

// The stops of one line, found in the classified blocks that hold it.
class TextBlocks::LineStops {
  public:
    LineStops(const char* blocksStart, const Block* blocks)
        : blocksStart(blocksStart), blocks(blocks) {}

    // The first stop at or after `cursor`, a character start of the line (or its end), or
    // the line's end when none comes before it. The line's end is a stop itself, so the
    // search needs no other bound.
    const char* Next(const char* cursor) {
        const auto at = reinterpret_cast<std::uintptr_t>(cursor);
        std::uint64_t ahead;
        if (at - cachedStart < 64) {
            ahead = cachedStops & (~std::uint64_t{0} << (at - cachedStart));
        } else {
            const auto offset = static_cast<std::size_t>(cursor - blocksStart);
            cachedBlock = blocks + offset / 64;
            cachedStart = reinterpret_cast<std::uintptr_t>(blocksStart) + offset / 64 * 64;
            cachedStops = cachedBlock->stops;
            ahead = cachedStops & (~std::uint64_t{0} << (offset % 64));
        }
        while (ahead == 0) {
            ++cachedBlock;
            cachedStart += 64;
            cachedStops = cachedBlock->stops;
            ahead = cachedStops;
        }
        return reinterpret_cast<const char*>(cachedStart) + __builtin_ctzll(ahead);
    }

  private:
    const char* const blocksStart;  // where blocks[0] starts
    const Block* const blocks;
    // The block last read, where it starts (none at first: no cursor is within 64 bytes
    // after address 0), and its stops.
    const Block* cachedBlock = nullptr;
    std::uintptr_t cachedStart = 0;
    std::uint64_t cachedStops = 0;
};

inline TextBlocks::LineStops TextBlocks::StopsOfLine() const {
    return LineStops(begin + first * 64, blocks.data() + head);
}

}  // namespace quirtle
