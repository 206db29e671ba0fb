#include "ByteReading.h"
#include "ImageReaders.h"

namespace quirtle::imgsize {

namespace {

constexpr std::uint8_t kMarkerPrefix = 0xFF;
constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint8_t kBaselineFrame = 0xC0;
constexpr std::uint8_t kProgressiveFrame = 0xC2;

ReadResult Invalid() {
    return {ReadOutcome::Invalid, {}};
}

}  // namespace

// Walks the marker segments from the first byte of the file. Only the baseline and the
// progressive frame headers give the size; every other segment, the start-of-scan header
// included, is skipped by its length, after which the next byte must begin a marker.
ReadResult ReadJpegSize(ByteSource& source) {
    for (;;) {
        const auto prefix = ReadByte(source);
        if (!prefix || *prefix != kMarkerPrefix) {
            return Invalid();
        }
        const auto marker = ReadByte(source);
        if (!marker) {
            return Invalid();
        }
        if (*marker == kStartOfImage) {
            continue;
        }
        if (*marker == kEndOfImage) {
            return {ReadOutcome::NoSize, {}};
        }
        const auto length = ReadBigEndian16(source);
        if (!length || *length < 3) {
            return Invalid();
        }
        if (*marker == kBaselineFrame || *marker == kProgressiveFrame) {
            const auto precision = ReadByte(source);
            const auto height = precision ? ReadBigEndian16(source) : std::nullopt;
            const auto width = height ? ReadBigEndian16(source) : std::nullopt;
            if (!width) {
                return Invalid();
            }
            return {ReadOutcome::Found, {*width, *height}};
        }
        // The length counts its own two bytes.
        if (!source.Skip(*length - 2u)) {
            return Invalid();
        }
    }
}

}  // namespace quirtle::imgsize
