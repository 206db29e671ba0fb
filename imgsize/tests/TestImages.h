#pragma once

// Tiny image files built byte by byte for the tests.

#include <cstdint>
#include <string_view>
#include <vector>

namespace quirtle::imgsize::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes BigEndian16(unsigned value) {
    return {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

inline Bytes BigEndian32(std::uint32_t value) {
    return BigEndian16(value >> 16) + BigEndian16(value & 0xFFFF);
}

inline const Bytes kStartOfImage = {0xFF, 0xD8};
inline const Bytes kEndOfImage = {0xFF, 0xD9};

// A marker segment: FF, the marker, the length (counting itself) and the payload.
inline Bytes Segment(std::uint8_t marker, const Bytes& payload) {
    return Bytes{0xFF, marker} + BigEndian16(static_cast<unsigned>(payload.size() + 2)) + payload;
}

// A frame header with three components (sample precision 8).
inline Bytes Frame(std::uint8_t marker, unsigned height, unsigned width) {
    return Segment(marker, Bytes{8} + BigEndian16(height) + BigEndian16(width) +
                               Bytes{3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1});
}

// A start-of-scan header followed by a little entropy-coded data.
inline Bytes Scan() {
    return Segment(0xDA, {3, 1, 0, 2, 0x11, 3, 0x11, 0, 0x3F, 0}) + Bytes{0x12, 0x34, 0x56};
}

inline Bytes Jpeg(unsigned width, unsigned height) {
    return kStartOfImage + Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}) +
           Frame(0xC0, height, width) + Scan() + kEndOfImage;
}

inline const Bytes kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// A chunk with its length, type, data and a (zero) checksum, which the reader skips.
inline Bytes Chunk(std::string_view type, const Bytes& data) {
    return BigEndian32(static_cast<std::uint32_t>(data.size())) + Bytes(type.begin(), type.end()) +
           data + Bytes{0, 0, 0, 0};
}

inline Bytes HeaderChunk(std::uint32_t width, std::uint32_t height) {
    return Chunk("IHDR", BigEndian32(width) + BigEndian32(height) + Bytes{8, 2, 0, 0, 0});
}

inline Bytes Png(std::uint32_t width, std::uint32_t height) {
    return kPngSignature + HeaderChunk(width, height) + Chunk("IDAT", {0x78, 0x9C, 3, 0}) +
           Chunk("IEND", {});
}

inline Bytes Gif(unsigned width, unsigned height) {
    return Bytes{'G',
                 'I',
                 'F',
                 '8',
                 '9',
                 'a',
                 static_cast<std::uint8_t>(width),
                 static_cast<std::uint8_t>(width >> 8),
                 static_cast<std::uint8_t>(height),
                 static_cast<std::uint8_t>(height >> 8),
                 0xF0,
                 0,
                 0,
                 ';'};
}

}  // namespace quirtle::imgsize::testing
