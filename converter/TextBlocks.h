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

    // The first stop at or after `cursor`, a character start of the line that the last
    // NextLineEnd found the end of, or `lineEnd` when none comes before it.
    const char* NextStop(const char* cursor, const char* lineEnd) const {
        if (cursor >= lineEnd) {
            return lineEnd;
        }
        auto index = static_cast<std::size_t>(cursor - begin) / 64;
        std::uint64_t ahead =
            blocks[index - first + head].stops &
            (~std::uint64_t{0} << (static_cast<std::size_t>(cursor - begin) % 64));
        while (ahead == 0) {
            ++index;
            if (begin + index * 64 >= lineEnd) {
                return lineEnd;
            }
            ahead = blocks[index - first + head].stops;
        }
        const char* const stop = begin + index * 64 + __builtin_ctzll(ahead);
        return stop < lineEnd ? stop : lineEnd;
    }

  private:
    struct Block {
        std::uint64_t stops;     // the stops of the inline scan
        std::uint64_t lineEnds;  // CR and LF
    };
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

}  // namespace quirtle
