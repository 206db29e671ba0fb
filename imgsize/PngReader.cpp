#include <array>

#include "ByteReading.h"
#include "ImageReaders.h"

namespace quirtle::imgsize {

namespace {

constexpr std::uint64_t kSignatureLength = 8;
constexpr std::uint64_t kCrcLength = 4;
// The largest chunk length and the largest width or height the format allows.
constexpr std::uint32_t kLargestNumber = 0x7FFFFFFF;
constexpr std::array<std::uint8_t, 4> kHeaderType = {'I', 'H', 'D', 'R'};

ReadResult Invalid() {
    return {ReadOutcome::Invalid, {}};
}

}  // namespace

// Skips the signature unchecked, then walks the chunks up to the first "IHDR" (matched
// case-sensitively) and reads its width and height.
ReadResult ReadPngSize(ByteSource& source) {
    if (!source.Skip(kSignatureLength)) {
        return Invalid();
    }
    for (;;) {
        const auto length = ReadBigEndian32(source);
        if (!length || *length == 0 || *length > kLargestNumber) {
            return Invalid();
        }
        std::array<std::uint8_t, 4> type{};
        if (source.Read(type.data(), type.size()) != type.size()) {
            return Invalid();
        }
        if (type == kHeaderType) {
            const auto width = ReadBigEndian32(source);
            const auto height = width ? ReadBigEndian32(source) : std::nullopt;
            // A width or height beyond the format's limit would print as a negative
            // number (or as -1, "not found"), so such a header is not accepted.
            if (!height || *width > kLargestNumber || *height > kLargestNumber) {
                return Invalid();
            }
            return {ReadOutcome::Found,
                    {static_cast<std::int32_t>(*width), static_cast<std::int32_t>(*height)}};
        }
        if (!source.Skip(std::uint64_t{*length} + kCrcLength)) {
            return Invalid();
        }
    }
}

}  // namespace quirtle::imgsize
