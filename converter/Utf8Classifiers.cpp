// The byte classifiers of the stop scan for UTF-8 text: with 32-byte vectors, with
// 16-byte ones, and in plain C++. UTF-8 is read byte by byte
// (ByteRules.h), so no byte is a lead byte: a block's stops are its stop bytes. The
// classifiers for a whole text also mark where it is not valid UTF-8 (Utf8Check.h), as
// line ends: the conversion then repairs the line that holds the place (ConvertLines).
#include "StopScanner.h"
#include "Utf8Check.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace quirtle::scan {

namespace {

template <bool check>
ByteClasses ClassifyPlainUtf8Block(const char* bytes, const StopSet& stops) {
    ByteClasses classes{};
    for (int index = 0; index < 64; ++index) {
        const auto byte = static_cast<unsigned char>(bytes[index]);
        const std::uint64_t bit = std::uint64_t{1} << index;
        if (byte == '\r' || byte == '\n') {
            classes.lineEnd |= bit;
        }
        if constexpr (check) {
            const auto at = [&](int offset) {
                return static_cast<std::uint8_t>(bytes[index + offset]);
            };
            if (utf8check::Fault(at(-3), at(-2), at(-1), byte) != 0) {
                classes.lineEnd |= bit;
            }
        }
        if ((stops.lowNibble[byte & 15] & stops.highNibble[byte >> 4]) != 0) {
            classes.stop |= bit;
        }
    }
    return classes;
}

}  // namespace

void ClassifyPlainUtf8(const char* bytes, std::size_t count, const StopSet& stops,
                       ByteClasses* out) {
    for (std::size_t block = 0; block < count; ++block) {
        out[block] = ClassifyPlainUtf8Block<false>(bytes + 64 * block, stops);
    }
}

void ClassifyPlainUtf8Text(const char* bytes, std::size_t count, const StopSet& stops,
                           ByteClasses* out) {
    for (std::size_t block = 0; block < count; ++block) {
        out[block] = ClassifyPlainUtf8Block<true>(bytes + 64 * block, stops);
    }
}

namespace {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUIRTLE_HAS_AVX2_UTF8_CLASSIFIER 1

__attribute__((target("avx2"))) inline __m256i Table(const utf8check::Table& table) {
    return _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data())));
}

template <bool check>
__attribute__((target("avx2"))) void ClassifyAvx2Utf8(const char* bytes, std::size_t count,
                                                      const StopSet& stops, ByteClasses* out) {
    const __m256i lowTable = _mm256_broadcastsi128_si256(
        _mm_load_si128(reinterpret_cast<const __m128i*>(stops.lowNibble)));
    const __m256i highTable = _mm256_broadcastsi128_si256(
        _mm_load_si128(reinterpret_cast<const __m128i*>(stops.highNibble)));
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i previousHigh = Table(utf8check::previousHigh);
    const __m256i previousLow = Table(utf8check::previousLow);
    const __m256i currentHigh = Table(utf8check::currentHigh);
    const __m256i third = _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80));
    const __m256i fourth = _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80));
    const __m256i highBit = _mm256_set1_epi8(static_cast<char>(0x80));
    for (std::size_t block = 0; block < count; ++block) {
        std::uint32_t stop[2];
        std::uint32_t lineEnd[2];
        for (unsigned part = 0; part < 2; ++part) {
            const char* const at = bytes + 64 * block + 32 * part;
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
            const __m256i high = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
            const __m256i hit =
                _mm256_and_si256(_mm256_shuffle_epi8(lowTable, _mm256_and_si256(v, nibble)),
                                 _mm256_shuffle_epi8(highTable, high));
            __m256i ends = _mm256_or_si256(_mm256_cmpeq_epi8(v, cr), _mm256_cmpeq_epi8(v, lf));
            if constexpr (check) {
                const __m256i before1 =
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at - 1));
                const __m256i before2 =
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at - 2));
                const __m256i before3 =
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at - 3));
                const __m256i pair = _mm256_and_si256(
                    _mm256_and_si256(
                        _mm256_shuffle_epi8(
                            previousHigh, _mm256_and_si256(_mm256_srli_epi16(before1, 4), nibble)),
                        _mm256_shuffle_epi8(previousLow, _mm256_and_si256(before1, nibble))),
                    _mm256_shuffle_epi8(currentHigh, high));
                const __m256i mustContinue =
                    _mm256_and_si256(_mm256_or_si256(_mm256_subs_epu8(before2, third),
                                                     _mm256_subs_epu8(before3, fourth)),
                                     highBit);
                const __m256i fault = _mm256_xor_si256(pair, mustContinue);
                ends = _mm256_or_si256(
                    ends, _mm256_xor_si256(_mm256_cmpeq_epi8(fault, zero), _mm256_set1_epi8(-1)));
            }
            stop[part] =
                ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hit, zero)));
            lineEnd[part] = static_cast<std::uint32_t>(_mm256_movemask_epi8(ends));
        }
        const auto join = [](const std::uint32_t* halves) {
            return std::uint64_t{halves[0]} | (std::uint64_t{halves[1]} << 32);
        };
        out[block] = {0, 0, join(stop), join(lineEnd)};
    }
}

// The same with the 16-byte vectors of processors without 32-byte ones.
__attribute__((target("ssse3"))) inline __m128i Table16(const utf8check::Table& table) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data()));
}

template <bool check>
__attribute__((target("ssse3"))) void ClassifySsse3Utf8(const char* bytes, std::size_t count,
                                                        const StopSet& stops, ByteClasses* out) {
    const __m128i lowTable = _mm_load_si128(reinterpret_cast<const __m128i*>(stops.lowNibble));
    const __m128i highTable = _mm_load_si128(reinterpret_cast<const __m128i*>(stops.highNibble));
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i zero = _mm_setzero_si128();
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i previousHigh = Table16(utf8check::previousHigh);
    const __m128i previousLow = Table16(utf8check::previousLow);
    const __m128i currentHigh = Table16(utf8check::currentHigh);
    const __m128i third = _mm_set1_epi8(static_cast<char>(0xE0 - 0x80));
    const __m128i fourth = _mm_set1_epi8(static_cast<char>(0xF0 - 0x80));
    const __m128i highBit = _mm_set1_epi8(static_cast<char>(0x80));
    for (std::size_t block = 0; block < count; ++block) {
        ByteClasses classes{};
        for (unsigned part = 0; part < 4; ++part) {
            const char* const at = bytes + 64 * block + 16 * part;
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            const __m128i high = _mm_and_si128(_mm_srli_epi16(v, 4), nibble);
            const __m128i hit = _mm_and_si128(_mm_shuffle_epi8(lowTable, _mm_and_si128(v, nibble)),
                                              _mm_shuffle_epi8(highTable, high));
            __m128i ends = _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf));
            if constexpr (check) {
                const __m128i before1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at - 1));
                const __m128i before2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at - 2));
                const __m128i before3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at - 3));
                const __m128i pair = _mm_and_si128(
                    _mm_and_si128(
                        _mm_shuffle_epi8(previousHigh,
                                         _mm_and_si128(_mm_srli_epi16(before1, 4), nibble)),
                        _mm_shuffle_epi8(previousLow, _mm_and_si128(before1, nibble))),
                    _mm_shuffle_epi8(currentHigh, high));
                const __m128i mustContinue = _mm_and_si128(
                    _mm_or_si128(_mm_subs_epu8(before2, third), _mm_subs_epu8(before3, fourth)),
                    highBit);
                const __m128i fault = _mm_xor_si128(pair, mustContinue);
                ends = _mm_or_si128(ends,
                                    _mm_xor_si128(_mm_cmpeq_epi8(fault, zero), _mm_set1_epi8(-1)));
            }
            const unsigned shift = 16U * part;
            const auto mask = [](__m128i bits) {
                return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(bits))};
            };
            classes.stop |= (mask(_mm_cmpeq_epi8(hit, zero)) ^ 0xFFFF) << shift;
            classes.lineEnd |= mask(ends) << shift;
        }
        out[block] = classes;
    }
}
#endif

}  // namespace

VectorClassifiers AvailableUtf8VectorClassifiers(bool text) {
    VectorClassifiers found;
    std::size_t count = 0;
#if defined(QUIRTLE_HAS_AVX2_UTF8_CLASSIFIER)
    if (__builtin_cpu_supports("avx2")) {
        found.functions[count++] = text ? ClassifyAvx2Utf8<true> : ClassifyAvx2Utf8<false>;
    }
    if (__builtin_cpu_supports("ssse3")) {
        found.functions[count++] = text ? ClassifySsse3Utf8<true> : ClassifySsse3Utf8<false>;
    }
#endif
    static_cast<void>(text);
    static_cast<void>(count);
    return found;
}

ClassifyFunction Classifier(TextEncoding encoding) {
    if (encoding == TextEncoding::ShiftJis) {
        return Classifier();
    }
    const VectorClassifiers vectors = AvailableUtf8VectorClassifiers(false);
    return vectors.functions[0] != nullptr ? vectors.functions[0] : ClassifyPlainUtf8;
}

ClassifyFunction TextClassifier(TextEncoding encoding) {
    if (encoding == TextEncoding::ShiftJis) {
        return Classifier();
    }
    const VectorClassifiers vectors = AvailableUtf8VectorClassifiers(true);
    return vectors.functions[0] != nullptr ? vectors.functions[0] : ClassifyPlainUtf8Text;
}

}  // namespace quirtle::scan
