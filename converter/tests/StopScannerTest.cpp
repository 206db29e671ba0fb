// The block-wise stop scan against a plain character-by-character walk, on random
// lines made of the bytes that matter: lead bytes, second bytes that look like markup,
// broken pairs, and lines whose last character is cut off, at every length around the
// 64-byte blocks.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ConverterAccess.h"
#include "StopScanner.h"
#include "TextBlocks.h"

namespace quirtle {
namespace {

bool IsLead(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Bytes chosen so that every case comes up often.
std::string RandomBytes(std::mt19937& random, std::size_t length) {
    static const unsigned char pool[] = {
        0x82, 0x83, 0x88, 0x9F, 0xE0, 0xFC, 0x81,  // lead bytes
        0x5B, 0x5C, 0x5F, 0x7B, 0x7D, 0x40, 0x7E,  // markup-looking second bytes
        0xA0, 0xA6, 0xDF, 0x80, 0xFD, 0xFF,        // single-byte, never leading
        '_',  '\\', '[',  '*',  '{',  '&',  '<',  '>', '"',
        ':',  '|',  ' ',  'a',  '0',  0x00, '\r', '\n'};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof pool - 1);
    std::string bytes(length, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(pool[pick(random)]);
    }
    return bytes;
}

bool IsStopByte(const scan::StopSet& set, unsigned char byte) {
    for (std::size_t index = 0; index < set.count; ++index) {
        if (set.bytes[index] == byte) {
            return true;
        }
    }
    return false;
}

// The stops of a line, found by stepping over it one character at a time.
std::vector<std::size_t> StopsByWalking(const std::string& line, const scan::StopSet& set) {
    std::vector<std::size_t> stops;
    std::size_t at = 0;
    while (at < line.size()) {
        const auto byte = static_cast<unsigned char>(line[at]);
        if (IsLead(byte)) {
            if (at + 1 >= line.size() || static_cast<unsigned char>(line[at + 1]) < 0x40) {
                stops.push_back(at);
            }
            at += 2;
            continue;
        }
        if (IsStopByte(set, byte)) {
            stops.push_back(at);
        }
        ++at;
    }
    return stops;
}

// The stops the scanner gives when asked from each stop onwards. With `before`, the line
// stands after other bytes that the scanner may read but must not count.
std::vector<std::size_t> StopsByScanning(const std::string& line, const scan::StopSet& set,
                                         const std::string& before = {}) {
    const std::string text = before + line;
    const char* const begin = text.data() + before.size();
    const char* const end = text.data() + text.size();
    StopScanner scanner(text.data(), end, set, scan::Classifier());
    std::vector<std::size_t> stops;
    const char* cursor = begin;
    while (true) {
        const char* const stop = scanner.Next(cursor);
        if (stop >= end) {
            break;
        }
        stops.push_back(static_cast<std::size_t>(stop - begin));
        cursor = stop + (IsLead(static_cast<unsigned char>(*stop)) ? 2 : 1);
        if (cursor > end) {
            break;
        }
    }
    return stops;
}

TEST(StopScannerTest, VectorClassifiersAgreeWithPlainOne) {
    std::mt19937 random(11);
    const scan::StopSet sets[] = {scan::StopSet(), scan::StopSet(":"), scan::StopSet("}|:")};
    const scan::VectorClassifiers vectors = scan::AvailableVectorClassifiers();
    for (int round = 0; round < 3000; ++round) {
        const std::string block = RandomBytes(random, 64);
        for (const scan::StopSet& set : sets) {
            const scan::ByteClasses plain =
                scan::ClassifyBlock(scan::ClassifyPlain, block.data(), set);
            for (scan::ClassifyFunction classify : vectors.functions) {
                if (classify == nullptr) {
                    continue;
                }
                const scan::ByteClasses vector = scan::ClassifyBlock(classify, block.data(), set);
                ASSERT_EQ(vector.lead, plain.lead);
                ASSERT_EQ(vector.below40, plain.below40);
                ASSERT_EQ(vector.stop, plain.stop);
                ASSERT_EQ(vector.lineEnd, plain.lineEnd);
            }
        }
    }
}

TEST(StopScannerTest, SecondBytesFollowLeadParityAcrossBlocks) {
    std::mt19937_64 random(5);
    for (int round = 0; round < 20000; ++round) {
        // Long runs of lead-range bytes are what the carry has to get right.
        std::uint64_t blocks[3];
        for (std::uint64_t& block : blocks) {
            block = random() | random() | (round % 3 == 0 ? ~std::uint64_t{0} : random());
        }
        std::uint64_t carry = 0;
        bool second = false;  // the walk: the current byte is a second byte
        for (std::uint64_t lead : blocks) {
            const std::uint64_t found = scan::SecondBytes(lead, carry);
            for (unsigned bit = 0; bit < 64; ++bit) {
                ASSERT_EQ(((found >> bit) & 1) != 0, second) << "round " << round;
                second = !second && ((lead >> bit) & 1) != 0;
            }
            ASSERT_EQ(carry != 0, second);
        }
    }
}

TEST(StopScannerTest, FindsTheSameStopsAsACharacterWalk) {
    std::mt19937 random(3);
    const scan::StopSet sets[] = {scan::StopSet(), scan::StopSet(":"), scan::StopSet("}")};
    for (std::size_t length = 0; length <= 200; ++length) {
        for (int round = 0; round < 40; ++round) {
            const std::string line = RandomBytes(random, length);
            const std::string before = RandomBytes(random, 64);
            for (const scan::StopSet& set : sets) {
                ASSERT_EQ(StopsByScanning(line, set), StopsByWalking(line, set))
                    << "length " << length;
                ASSERT_EQ(StopsByScanning(line, set, before), StopsByWalking(line, set))
                    << "length " << length << " after other text";
            }
        }
    }
}

TEST(StopScannerTest, LongRunsOfLeadBytesAndCutOffCharacters) {
    const scan::StopSet set;
    // A run of lead bytes keeps the parity over several blocks; "\" after an even number
    // of them is markup, after an odd number a second byte.
    for (std::size_t leads = 60; leads <= 200; ++leads) {
        std::string line(leads, '\x88');
        line += "\\_";
        ASSERT_EQ(StopsByScanning(line, set), StopsByWalking(line, set)) << leads;
        std::string cut(leads, '\x88');  // odd: the last lead is cut off by the end
        ASSERT_EQ(StopsByScanning(cut, set), StopsByWalking(cut, set)) << leads;
    }
}

// A text of random lines cut by the classified blocks, each line's stops found in them,
// against the lines cut byte by byte and the stops of each line found by walking it.
TEST(TextBlocksTest, CutsLinesAndFindsTheirStopsAsAWalkDoes) {
    std::mt19937 random(7);
    const scan::StopSet set;
    std::vector<std::size_t> lengths;
    for (std::size_t length = 0; length <= 300; ++length) {
        lengths.push_back(length);
    }
    // Whole blocks, several batches of blocks, and long lines.
    for (std::size_t length : {640U, 1024U, 1088U, 2048U, 3000U, 5000U}) {
        lengths.push_back(length);
    }
    for (std::size_t length : lengths) {
        for (int round = 0; round < 20; ++round) {
            std::string text = RandomBytes(random, length);
            if (round % 4 == 0) {
                // Few line ends: lines that span many blocks.
                for (char& byte : text) {
                    if ((byte == '\r' || byte == '\n') && random() % 8 != 0) {
                        byte = 'a';
                    }
                }
            }
            const char* const end = text.data() + text.size();
            TextBlocks blocks;
            blocks.Start(text.data(), end, set, scan::Classifier());
            const char* lineStart = text.data();
            while (lineStart < end) {
                const char* expectedEnd = nullptr;
                const char* const expectedNext =
                    testing::CutLine(lineStart, end, true, expectedEnd);
                const char* const lineEnd = blocks.NextLineEnd(lineStart);
                ASSERT_EQ(lineEnd, expectedEnd) << "length " << length;
                const std::string line(lineStart, lineEnd);
                std::vector<std::size_t> stops;
                TextBlocks::LineStops lineStops = blocks.StopsOfLine();
                const char* cursor = lineStart;
                while (true) {
                    const char* const stop = lineStops.Next(cursor);
                    ASSERT_LE(stop, lineEnd);
                    if (stop == lineEnd) {
                        break;
                    }
                    stops.push_back(static_cast<std::size_t>(stop - lineStart));
                    cursor = stop + (IsLead(static_cast<unsigned char>(*stop)) ? 2 : 1);
                    if (cursor > lineEnd) {
                        break;
                    }
                }
                ASSERT_EQ(stops, StopsByWalking(line, set)) << "length " << length;
                lineStart = expectedNext;
            }
            blocks.Stop();
        }
    }
}

}  // namespace
}  // namespace quirtle
