#include "TextBlocks.h"

#include <cstring>

namespace quirtle {

namespace {

// Blocks classified in one go: the classifier's set-up is shared, and 1 KB ahead of the
// conversion is still in the processor's nearest cache when the lines get there.
constexpr std::size_t batchBlocks = 16;
// Dropped blocks are removed from the front once this many have gathered.
constexpr std::size_t dropAfter = 256;

}  // namespace

void TextBlocks::Start(const char* textBegin, const char* textEnd, const scan::StopSet& stops,
                       scan::ClassifyFunction classifier) {
    begin = textBegin;
    end = textEnd;
    stopSet = &stops;
    classify = classifier;
    blocks.clear();
    head = 0;
    first = 0;
    carry = 0;
}

void TextBlocks::Stop() {
    begin = nullptr;
    end = nullptr;
    blocks.clear();
    head = 0;
}

const char* TextBlocks::NextLineEnd(const char* lineStart) {
    auto index = static_cast<std::size_t>(lineStart - begin) / 64;
    // The lines before are done with: keep the blocks from this line's first on (once
    // classified, for the parity, should a line have been skipped).
    while (Classified() < index) {
        ClassifyMore();
    }
    if (index > first) {
        head += index - first;
        first = index;
        if (head >= dropAfter) {
            blocks.erase(blocks.begin(), blocks.begin() + static_cast<std::ptrdiff_t>(head));
            head = 0;
        }
    }
    // The blocks are read through locals, which only a classification changes.
    std::uint64_t ahead = ~std::uint64_t{0} << (static_cast<std::size_t>(lineStart - begin) % 64);
    const std::size_t blockCount = (static_cast<std::size_t>(end - begin) + 63) / 64;
    const Block* line = blocks.data() + head;  // block `first`
    std::size_t classified = Classified();
    for (; index < blockCount; ++index) {
        if (index == classified) {
            ClassifyMore();
            line = blocks.data() + head;
            classified = Classified();
        }
        const std::uint64_t found = line[index - first].lineEnds & ahead;
        if (found != 0) {
            return begin + index * 64 + __builtin_ctzll(found);
        }
        ahead = ~std::uint64_t{0};
    }
    return end;
}

void TextBlocks::ClassifyMore() {
    const char* const start = begin + Classified() * 64;
    const auto remaining = static_cast<std::size_t>(end - start);
    scan::ByteClasses classes[batchBlocks];
    std::size_t count = remaining / 64 < batchBlocks ? remaining / 64 : batchBlocks;
    std::size_t lastLength = 64;  // of the last block classified
    if (count != 0) {
        classify(start, count, *stopSet, classes);
    } else {
        count = 1;
        lastLength = remaining;
        classes[0] = scan::ClassifyLastBytes(classify, begin, start, end, *stopSet);
    }
    std::uint64_t parity = carry;
    for (std::size_t block = 0; block < count; ++block) {
        const scan::ByteClasses& found = classes[block];
        const char* const blockStart = start + 64 * block;
        std::uint64_t stops = scan::StopsOf(found, parity, blockStart, lastLength, end);
        if (lastLength < 64) {
            stops |= std::uint64_t{1} << lastLength;  // the end of the text
        }
        blocks.push_back({stops | found.lineEnd, found.lineEnd});
    }
    carry = parity;
    if (start + 64 * count == end) {
        blocks.push_back({1, 0});  // the end of the text, at the start of a block
    }
}

}  // namespace quirtle
