// The byte classifiers of the stop scan: one for processors with 32-byte vectors, one
// with the 16-byte vectors every x86-64 processor has, and one in plain C++.
#include "StopScanner.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace quirtle::scan {

namespace {

// The bytes every inline scan stops at: the markup ("_", "\", the closers "[", "*", "{",
// and the "]" that ends a reading) and the bytes written as entities.
constexpr std::string_view markupAndEscaped = "_\\[]*{&<>\"";

}  // namespace

namespace {

ByteClasses ClassifyPlainBlock(const char* bytes, const StopSet& stops) {
    ByteClasses classes{};
    for (unsigned index = 0; index < 64; ++index) {
        const auto byte = static_cast<unsigned char>(bytes[index]);
        const std::uint64_t bit = std::uint64_t{1} << index;
        if ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) {
            classes.lead |= bit;
        }
        if (byte < 0x40) {
            classes.below40 |= bit;
        }
        if (byte == '\r' || byte == '\n') {
            classes.lineEnd |= bit;
        }
        if ((stops.lowNibble[byte & 15] & stops.highNibble[byte >> 4]) != 0) {
            classes.stop |= bit;
        }
    }
    return classes;
}

}  // namespace

void ClassifyPlain(const char* bytes, std::size_t count, const StopSet& stops, ByteClasses* out) {
    for (std::size_t block = 0; block < count; ++block) {
        out[block] = ClassifyPlainBlock(bytes + 64 * block, stops);
    }
}

namespace {

// Unsigned byte ranges are tested as min(x - base, width) == x - base. Flipping bit 0x20
// maps the two lead ranges 0x81-0x9F and 0xE0-0xFC onto the one range 0xA1-0xDC.
constexpr char leadFlip = 0x20;
constexpr char leadBase = static_cast<char>(0xA1);
constexpr char leadWidth = 0xDC - 0xA1;

#if defined(__SSE2__)
ByteClasses ClassifySse2Block(const char* bytes, const StopSet& stops) {
    const __m128i limit40 = _mm_set1_epi8(0x3F);
    const __m128i flip = _mm_set1_epi8(leadFlip);
    const __m128i base = _mm_set1_epi8(leadBase);
    const __m128i width = _mm_set1_epi8(leadWidth);
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    ByteClasses classes{};
    for (unsigned part = 0; part < 4; ++part) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
        const __m128i below = _mm_cmpeq_epi8(_mm_min_epu8(v, limit40), v);
        const __m128i in = _mm_sub_epi8(_mm_xor_si128(v, flip), base);
        const __m128i lead = _mm_cmpeq_epi8(_mm_min_epu8(in, width), in);
        __m128i stop = _mm_setzero_si128();
        for (std::size_t index = 0; index < stops.count; ++index) {
            stop = _mm_or_si128(
                stop, _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(stops.bytes[index]))));
        }
        const unsigned shift = 16U * part;
        classes.lead |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(lead))} << shift;
        classes.below40 |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(below))}
                           << shift;
        classes.stop |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(stop))} << shift;
        const __m128i lineEnd = _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf));
        classes.lineEnd |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(lineEnd))}
                           << shift;
    }
    return classes;
}

void ClassifySse2(const char* bytes, std::size_t count, const StopSet& stops, ByteClasses* out) {
    for (std::size_t block = 0; block < count; ++block) {
        out[block] = ClassifySse2Block(bytes + 64 * block, stops);
    }
}
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUIRTLE_HAS_AVX2_CLASSIFIER 1
// The stop bytes are found with two table lookups (low and high nibble) per byte. The
// tables and constants are loaded once for all the blocks.
__attribute__((target("avx2"))) void ClassifyAvx2(const char* bytes, std::size_t count,
                                                  const StopSet& stops, ByteClasses* out) {
    const __m256i lowTable = _mm256_broadcastsi128_si256(
        _mm_load_si128(reinterpret_cast<const __m128i*>(stops.lowNibble)));
    const __m256i highTable = _mm256_broadcastsi128_si256(
        _mm_load_si128(reinterpret_cast<const __m128i*>(stops.highNibble)));
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i limit40 = _mm256_set1_epi8(0x3F);
    const __m256i flip = _mm256_set1_epi8(leadFlip);
    const __m256i base = _mm256_set1_epi8(leadBase);
    const __m256i width = _mm256_set1_epi8(leadWidth);
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    for (std::size_t block = 0; block < count; ++block) {
        std::uint32_t lead[2];
        std::uint32_t below40[2];
        std::uint32_t stop[2];
        std::uint32_t lineEnd[2];
        for (unsigned part = 0; part < 2; ++part) {
            const __m256i v = _mm256_loadu_si256(
                reinterpret_cast<const __m256i*>(bytes + 64 * block + 32 * part));
            const __m256i low = _mm256_and_si256(v, nibble);
            const __m256i high = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
            const __m256i hit = _mm256_and_si256(_mm256_shuffle_epi8(lowTable, low),
                                                 _mm256_shuffle_epi8(highTable, high));
            const __m256i below = _mm256_cmpeq_epi8(_mm256_min_epu8(v, limit40), v);
            const __m256i in = _mm256_sub_epi8(_mm256_xor_si256(v, flip), base);
            const __m256i isLead = _mm256_cmpeq_epi8(_mm256_min_epu8(in, width), in);
            const __m256i isLineEnd =
                _mm256_or_si256(_mm256_cmpeq_epi8(v, cr), _mm256_cmpeq_epi8(v, lf));
            lead[part] = static_cast<std::uint32_t>(_mm256_movemask_epi8(isLead));
            below40[part] = static_cast<std::uint32_t>(_mm256_movemask_epi8(below));
            stop[part] =
                ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hit, zero)));
            lineEnd[part] = static_cast<std::uint32_t>(_mm256_movemask_epi8(isLineEnd));
        }
        const auto join = [](const std::uint32_t* halves) {
            return std::uint64_t{halves[0]} | (std::uint64_t{halves[1]} << 32);
        };
        out[block] = {join(lead), join(below40), join(stop), join(lineEnd)};
    }
}
#endif

}  // namespace

StopSet::StopSet(std::string_view extra) {
    unsigned char highBits[16] = {};
    unsigned nextBit = 0;
    const auto add = [&](char value) {
        const auto byte = static_cast<unsigned char>(value);
        for (std::size_t index = 0; index < count; ++index) {
            if (bytes[index] == byte) {
                return;
            }
        }
        const unsigned high = byte >> 4;
        if (count == maxBytes || (highBits[high] == 0 && nextBit == 8)) {
            return;
        }
        if (highBits[high] == 0) {
            highBits[high] = static_cast<unsigned char>(1U << nextBit++);
        }
        bytes[count++] = byte;
        highNibble[high] = highBits[high];
        lowNibble[byte & 15] |= highBits[high];
    };
    for (char byte : markupAndEscaped) {
        add(byte);
    }
    for (char byte : extra) {
        add(byte);
    }
}

VectorClassifiers AvailableVectorClassifiers() {
    VectorClassifiers found;
    std::size_t count = 0;
#if defined(QUIRTLE_HAS_AVX2_CLASSIFIER)
    if (__builtin_cpu_supports("avx2")) {
        found.functions[count++] = ClassifyAvx2;
    }
#endif
#if defined(__SSE2__)
    found.functions[count++] = ClassifySse2;
#endif
    static_cast<void>(count);
    return found;
}

ClassifyFunction Classifier() {
    const VectorClassifiers vectors = AvailableVectorClassifiers();
    return vectors.functions[0] != nullptr ? vectors.functions[0] : ClassifyPlain;
}

}  // namespace quirtle::scan
