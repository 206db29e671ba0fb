#include "ByteReading.h"

#include <array>

namespace quirtle::imgsize {

namespace {

template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> ReadExactly(ByteSource& source) {
    std::array<std::uint8_t, N> bytes{};
    if (source.Read(bytes.data(), N) != N) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace

std::optional<std::uint8_t> ReadByte(ByteSource& source) {
    const auto bytes = ReadExactly<1>(source);
    if (!bytes) {
        return std::nullopt;
    }
    return (*bytes)[0];
}

std::optional<std::uint16_t> ReadBigEndian16(ByteSource& source) {
    const auto bytes = ReadExactly<2>(source);
    if (!bytes) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(((*bytes)[0] << 8) | (*bytes)[1]);
}

std::optional<std::uint32_t> ReadBigEndian32(ByteSource& source) {
    const auto bytes = ReadExactly<4>(source);
    if (!bytes) {
        return std::nullopt;
    }
    return (std::uint32_t{(*bytes)[0]} << 24) | (std::uint32_t{(*bytes)[1]} << 16) |
           (std::uint32_t{(*bytes)[2]} << 8) | std::uint32_t{(*bytes)[3]};
}

std::optional<std::uint16_t> ReadLittleEndian16(ByteSource& source) {
    const auto bytes = ReadExactly<2>(source);
    if (!bytes) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>((*bytes)[0] | ((*bytes)[1] << 8));
}

}  // namespace quirtle::imgsize
