// Finding, in a line of Shift_JIS text, the next character the inline conversion must
// look at, 64 bytes at a time and without a branch per character.
//
// A byte is the second byte of a double-byte character when an odd number of bytes of
// the lead range (0x81-0x9F, 0xE0-0xFC) stands right before it: a lead byte takes the
// byte after it whatever that is, and a lead-range byte so taken leads nothing. That
// rule is the one for backslash escapes in many text formats, and the same carry trick
// answers it for 64 bytes at once. Second bytes such as 0x5B "[" or 0x5C "\" are then
// never taken for markup.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "TextEncoding.h"

namespace quirtle {

namespace scan {

// The bytes of 64 in a row, as bit masks (bit i for byte i). Not initialised by itself,
// so that arrays of it cost nothing to set up.
struct ByteClasses {
    std::uint64_t lead;     // in the lead range
    std::uint64_t below40;  // below 0x40: what a broken double-byte pair has second
    std::uint64_t stop;     // one of the stop bytes
    std::uint64_t lineEnd;  // CR or LF
};

// The bytes a scan stops at, in the two forms the classifiers use.
struct StopSet {
    // At most this many distinct stop bytes.
    static constexpr std::size_t maxBytes = 16;
    // The markup bytes, the escaped bytes and `extra` (bytes beyond the limit are ignored).
    explicit StopSet(std::string_view extra = {});

    unsigned char bytes[maxBytes] = {};
    std::size_t count = 0;
    // A byte is a stop when lowNibble[byte & 15] & highNibble[byte >> 4] is not zero: each
    // high nibble that occurs has a bit of its own, so the test is exact.
    alignas(16) unsigned char lowNibble[16] = {};
    alignas(16) unsigned char highNibble[16] = {};
};

// Classifies `count` blocks of 64 bytes from `bytes` into `out`; `Classifier()` picks the
// fastest version the processor has.
using ClassifyFunction = void (*)(const char* bytes, std::size_t count, const StopSet& stops,
                                  ByteClasses* out);
ClassifyFunction Classifier();
// The classifier in plain C++, a byte at a time.
void ClassifyPlain(const char* bytes, std::size_t count, const StopSet& stops, ByteClasses* out);
// The classes of the 64 bytes from `bytes`.
inline ByteClasses ClassifyBlock(ClassifyFunction classify, const char* bytes,
                                 const StopSet& stops) {
    ByteClasses classes{};
    classify(bytes, 1, stops, &classes);
    return classes;
}
// The vector classifiers this processor can run (up to two; null where there is none).
struct VectorClassifiers {
    ClassifyFunction functions[2] = {};
};
VectorClassifiers AvailableVectorClassifiers();

// UTF-8 (Utf8Classifiers.cpp): the classifier of a line, which finds no lead bytes (UTF-8
// is read byte by byte), and the classifier of a whole text, which also marks as line
// ends the places where the text is not valid UTF-8; it reads the 3 bytes before the
// bytes it classifies, which must be those of the text (zeros at its start). For Shift_JIS
// both are Classifier().
ClassifyFunction Classifier(TextEncoding encoding);
ClassifyFunction TextClassifier(TextEncoding encoding);
void ClassifyPlainUtf8(const char* bytes, std::size_t count, const StopSet& stops,
                       ByteClasses* out);
void ClassifyPlainUtf8Text(const char* bytes, std::size_t count, const StopSet& stops,
                           ByteClasses* out);
VectorClassifiers AvailableUtf8VectorClassifiers(bool text);

// The classes of `length` (up to 64) bytes from `start`, classified in a copy that holds
// before them the bytes from `readable` on (up to 32) and zeros before those, and zeros
// after them: for a classifier that reads the bytes before a block, at the start and the
// end of a text. The places past the end count as in ClassifyLastBytes.
inline ByteClasses ClassifyCopy(ClassifyFunction classify, const char* readable, const char* start,
                                std::size_t length, const StopSet& stops) {
    alignas(32) char padded[32 + 64] = {};
    const auto available = static_cast<std::size_t>(start - readable);
    const std::size_t before = available < 32 ? available : 32;
    std::memcpy(padded + 32 - before, start - before, before);
    std::memcpy(padded + 32, start, length);
    ByteClasses classes = ClassifyBlock(classify, padded + 32, stops);
    if (length < 64) {
        const std::uint64_t pastEnd = ~((std::uint64_t{1} << length) - 1);
        classes.lead &= ~pastEnd;
        classes.stop &= ~pastEnd;
        classes.lineEnd &= ~pastEnd;
        classes.below40 |= pastEnd;
    }
    return classes;
}

// The second bytes of double-byte characters among 64 bytes whose lead-range bytes are
// `lead`. `carry` says that the first byte is the second byte of a character begun before
// it; on return it says the same of the byte after the 64.
inline std::uint64_t SecondBytes(std::uint64_t lead, std::uint64_t& carry) {
    constexpr std::uint64_t evenBits = 0x5555555555555555ULL;
    lead &= ~carry;  // a second byte leads nothing
    const std::uint64_t followsLead = (lead << 1) | carry;
    // Runs of lead-range bytes that start on an odd bit: adding them to the runs carries
    // out of every such run, which flips the parity of what follows it.
    const std::uint64_t oddStarts = lead & ~evenBits & ~followsLead;
    std::uint64_t runsFromEvenBits = 0;
    carry = __builtin_add_overflow(oddStarts, lead, &runsFromEvenBits) ? 1 : 0;
    const std::uint64_t invert = runsFromEvenBits << 1;
    return (evenBits ^ invert) & followsLead;
}

// The classes of the last bytes of a text, [start, end) with fewer than 64 of them, where
// the bytes from `readable` on may be read: the 64 that end the text are classified and the
// bytes before `start` shifted out, or, in a shorter text, a copy padded with zeros. The
// places past the end count as bytes below 0x40, so a double-byte character cut off by the
// end stops like a broken one.
inline ByteClasses ClassifyLastBytes(ClassifyFunction classify, const char* readable,
                                     const char* start, const char* end, const StopSet& stops) {
    const auto length = static_cast<std::size_t>(end - start);
    const std::uint64_t pastEnd = ~((std::uint64_t{1} << length) - 1);
    ByteClasses classes{};
    if (static_cast<std::size_t>(end - readable) >= 64) {
        classes = ClassifyBlock(classify, end - 64, stops);
        const unsigned shift = 64U - static_cast<unsigned>(length);
        classes.lead >>= shift;
        classes.below40 >>= shift;
        classes.stop >>= shift;
        classes.lineEnd >>= shift;
    } else {
        char padded[64];
        std::memcpy(padded, start, length);
        std::memset(padded + length, 0, 64 - length);
        classes = ClassifyBlock(classify, padded, stops);
        classes.lead &= ~pastEnd;
        classes.stop &= ~pastEnd;
        classes.lineEnd &= ~pastEnd;
    }
    classes.below40 |= pastEnd;
    return classes;
}

// The stops among the first `length` (up to 64) of the classified bytes at `start`: the stop
// bytes that are not second bytes, and the characters whose second byte is below 0x40.
// `carry` runs on as SecondBytes says. The character that starts with the 64th byte ends
// in the next block: it stops when its second byte is below 0x40 or past `end`.
inline std::uint64_t StopsOf(const ByteClasses& classes, std::uint64_t& carry, const char* start,
                             std::size_t length, const char* end) {
    const std::uint64_t second = SecondBytes(classes.lead, carry);
    std::uint64_t stops = (classes.stop & ~second) | ((second & classes.below40) >> 1);
    if (length == 64) {
        const char* const next = start + 64;
        const auto nextByte = next == end ? 0U : static_cast<unsigned char>(*next);
        stops |= (carry & static_cast<std::uint64_t>(nextByte < 0x40)) << 63;
    } else {
        stops &= (std::uint64_t{1} << length) - 1;
    }
    return stops;
}

}  // namespace scan

// Finds the stops of one line: each character that starts with a stop byte (markup, an
// escaped byte, a terminator), and each double-byte character whose second byte is below
// 0x40 or lies past the end of the line. Characters between stops are plain text: they
// are copied as they are. The stops of one block of 64 bytes are kept, so stops close
// together cost one classification.
class StopScanner {
  public:
    // Scans text up to `end`; every cursor given to Next lies between `readable` and
    // `end`, and the bytes from `readable` on may be read (also where they are not
    // scanned). `classify` is one of the classifiers (scan::Classifier() gives the best).
    StopScanner(const char* readable, const char* end, const scan::StopSet& stopSet,
                scan::ClassifyFunction classify)
        : begin(readable), end(end), stopSet(stopSet), classify(classify) {}

    // The first stop at or after `cursor`, which must be the start of a character of the
    // line; the end of the line when there is none.
    const char* Next(const char* cursor) {
        std::uint64_t carry = 0;
        if (blockStart != nullptr && cursor >= blockStart && cursor - blockStart < 64) {
            const std::uint64_t ahead = stops & (~std::uint64_t{0} << (cursor - blockStart));
            if (ahead != 0) {
                return blockStart + __builtin_ctzll(ahead);
            }
            cursor = blockStart + 64;
            carry = blockCarry;
        }
        while (cursor < end) {
            ClassifyBlock(cursor, carry);
            if (stops != 0) {
                return blockStart + __builtin_ctzll(stops);
            }
            cursor += 64;
            carry = blockCarry;
        }
        return end;
    }

  private:
    void ClassifyBlock(const char* start, std::uint64_t carry) {
        const auto remaining = static_cast<std::size_t>(end - start);
        const std::size_t length = remaining < 64 ? remaining : 64;
        const scan::ByteClasses classes =
            length == 64 ? scan::ClassifyBlock(classify, start, stopSet)
                         : scan::ClassifyLastBytes(classify, begin, start, end, stopSet);
        std::uint64_t nextCarry = carry;
        const std::uint64_t found = scan::StopsOf(classes, nextCarry, start, length, end);
        blockStart = start;
        blockCarry = nextCarry;
        stops = found;
    }

    const char* const begin;
    const char* const end;
    const scan::StopSet& stopSet;
    const scan::ClassifyFunction classify;
    const char* blockStart = nullptr;
    std::uint64_t stops = 0;       // the stops of the block at blockStart
    std::uint64_t blockCarry = 0;  // the byte after the block is a second byte
};

}  // namespace quirtle
