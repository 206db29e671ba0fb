#include "ByteReading.h"
#include "ImageReaders.h"

namespace quirtle::imgsize {

namespace {

constexpr std::uint64_t kSignatureLength = 6;  // "GIF87a" or "GIF89a", not checked

}  // namespace

// Reads the logical screen width and height that follow the signature.
ReadResult ReadGifSize(ByteSource& source) {
    if (!source.Skip(kSignatureLength)) {
        return {ReadOutcome::Invalid, {}};
    }
    const auto width = ReadLittleEndian16(source);
    const auto height = width ? ReadLittleEndian16(source) : std::nullopt;
    if (!height) {
        return {ReadOutcome::Invalid, {}};
    }
    return {ReadOutcome::Found, {*width, *height}};
}

}  // namespace quirtle::imgsize
