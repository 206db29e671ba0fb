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
                       scan::ClassifyFunction classifier, TextEncoding encoding) {
    begin = textBegin;
    end = textEnd;
    stopSet = &stops;
    classify = classifier;
    utf8 = encoding == TextEncoding::Utf8;
    blocks.clear();
    head = 0;
    first = 0;
    classifiedEnd = 0;
    carry = 0;
}

void TextBlocks::Stop() {
    begin = nullptr;
    end = nullptr;
    blocks.clear();
    head = 0;
    first = 0;
    classifiedEnd = 0;
}

const char* TextBlocks::NextLineEnd(const char* lineStart) {
    const auto offset = static_cast<std::size_t>(lineStart - begin);
    const std::size_t index = offset / 64;
    // The lines before are done with: keep the blocks from this line's first on (once
    // classified, for the parity, should a line have been skipped).
    while (classifiedEnd <= index) {
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
    // The end of the text is a line end of the blocks, so the search needs no other bound.
    std::size_t at = index;
    const Block* block = blocks.data() + head;
    std::uint64_t found = block->lineEnds & (~std::uint64_t{0} << (offset % 64));
    while (found == 0) {
        ++at;
        if (at == classifiedEnd) {
            ClassifyMore();
            block = blocks.data() + head + (at - first);
        } else {
            ++block;
        }
        found = block->lineEnds;
    }
    return begin + at * 64 + __builtin_ctzll(found);
}

void TextBlocks::ClassifyMore() {
    const char* const start = begin + classifiedEnd * 64;
    const auto remaining = static_cast<std::size_t>(end - start);
    scan::ByteClasses classes[batchBlocks];
    std::size_t count = remaining / 64 < batchBlocks ? remaining / 64 : batchBlocks;
    std::size_t lastLength = 64;  // of the last block classified
    if (count != 0) {
        if (utf8 && start == begin) {
            // Nothing may be read before the text: its first block is classified in a copy.
            classes[0] = scan::ClassifyCopy(classify, begin, start, 64, *stopSet);
            classify(start + 64, count - 1, *stopSet, classes + 1);
        } else {
            classify(start, count, *stopSet, classes);
        }
    } else {
        count = 1;
        lastLength = remaining;
        classes[0] = utf8 ? scan::ClassifyCopy(classify, begin, start, remaining, *stopSet)
                          : scan::ClassifyLastBytes(classify, begin, start, end, *stopSet);
    }
    // A text that ends with a whole block gets a block for its end.
    const bool endBlock = start + 64 * count == end;
    const std::size_t oldSize = blocks.size();
    blocks.resize(oldSize + count + (endBlock ? 1 : 0));
    Block* const out = blocks.data() + oldSize;
    if (utf8) {
        // UTF-8: no byte is a second byte, so the stops are the stop bytes (none past the end).
        for (std::size_t block = 0; block < count; ++block) {
            const scan::ByteClasses& found = classes[block];
            out[block] = {found.stop | found.lineEnd, found.lineEnd};
        }
    } else {
        std::uint64_t parity = carry;
        for (std::size_t block = 0; block < count; ++block) {
            const scan::ByteClasses& found = classes[block];
            const char* const blockStart = start + 64 * block;
            const std::uint64_t stops = scan::StopsOf(found, parity, blockStart, lastLength, end);
            out[block] = {stops | found.lineEnd, found.lineEnd};
        }
        carry = parity;
    }
    if (lastLength < 64) {
        out[0].stops |= std::uint64_t{1} << lastLength;  // the end of the text
        out[0].lineEnds |= std::uint64_t{1} << lastLength;
    }
    if (endBlock) {
        out[count] = {1, 1};
    }
    classifiedEnd += blocks.size() - oldSize;
}

}  // namespace quirtle
