// The converter's output: bytes appended to a string that it owns while converting.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "PaddedPiece.h"

namespace quirtle {

#if defined(__GNUC__)
#define QUIRTLE_ALWAYS_INLINE inline __attribute__((always_inline))
#define QUIRTLE_NOINLINE __attribute__((noinline))
#else
#define QUIRTLE_ALWAYS_INLINE inline
#define QUIRTLE_NOINLINE
#endif

// Appends bytes to a string without the string's own bookkeeping for each piece: the
// string is made longer ahead of the writing, in steps, and only the bytes written so far
// count. Short pieces (most of what a conversion writes: tags, entities, names) are copied
// without a call. `Finish` gives the string the length of what was written. A string that
// is written again keeps its length in between, so its bytes are not cleared again
// before they are overwritten.
class OutputBuffer {
  public:
    // Writes after what `storage` holds already.
    explicit OutputBuffer(std::string& storage) : storage(&storage) { Adopt(storage.size()); }
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    std::size_t size() const { return static_cast<std::size_t>(next - data); }
    bool empty() const { return next == data; }
    std::string_view view() const { return {data, size()}; }

    // Appends are made at every step of a conversion: they are always inlined, and only
    // growing is a call.
    QUIRTLE_ALWAYS_INLINE OutputBuffer& append(std::string_view piece) {
        Reserve(piece.size());
        next = Put(next, piece);
        return *this;
    }
    QUIRTLE_ALWAYS_INLINE OutputBuffer& append(const char* first, const char* last) {
        return append(std::string_view(first, static_cast<std::size_t>(last - first)));
    }
    template <std::size_t paddedSize>
    QUIRTLE_ALWAYS_INLINE OutputBuffer& append(const PaddedPiece<paddedSize>& piece) {
        Reserve(paddedSize);
        next = Put(next, piece);
        return *this;
    }

    // Writing into claimed room (see Claim): each Put writes a piece at `to` and returns the
    // place after it. A padded piece needs room for its whole buffer.
    QUIRTLE_ALWAYS_INLINE static char* Put(char* to, std::string_view piece) {
        Copy(to, piece.data(), piece.size());
        return to + piece.size();
    }
    template <std::size_t paddedSize>
    QUIRTLE_ALWAYS_INLINE static char* Put(char* to, const PaddedPiece<paddedSize>& piece) {
        std::memcpy(to, piece.bytes, paddedSize);
        return to + piece.length;
    }
    QUIRTLE_ALWAYS_INLINE void push_back(char byte) {
        Reserve(1);
        *next++ = byte;
    }
    // Room for `more` bytes, to be written through the pointer returned; Commit then takes
    // the pointer past the last byte written. Code that writes many small pieces keeps
    // its place in a register this way, and checks the room once.
    QUIRTLE_ALWAYS_INLINE char* Claim(std::size_t more) {
        Reserve(more);
        return next;
    }
    QUIRTLE_ALWAYS_INLINE void Commit(char* written) { next = written; }
    // Drops what was written after the first `length` bytes.
    void resize(std::size_t length) {
        if (length < size()) {
            next = data + length;
        }
    }
    void clear() { next = data; }
    // Makes the string's capacity hold `more` bytes after those written, so that it is
    // moved once for a known amount (its length grows as the writing needs).
    void ReserveCapacity(std::size_t more) {
        const std::size_t used = size();
        if (storage->capacity() - used < more) {
            storage->reserve(used + more);
            Adopt(used);
        }
    }
    // Makes room for `more` bytes, so that growing happens once for a known amount.
    QUIRTLE_ALWAYS_INLINE void Reserve(std::size_t more) {
        if (static_cast<std::size_t>(limit - next) < more) {
            Grow(more);
        }
    }
    // Leaves the string holding exactly what was written.
    void Finish() { storage->resize(size()); }

  private:
    // Copies pieces of up to 64 bytes (tags, entities, names, most runs of text) with a
    // few overlapping moves instead of a call.
    QUIRTLE_ALWAYS_INLINE static void Copy(char* to, const char* from, std::size_t count) {
        if (count <= 16) {
            if (count >= 8) {
                Move<8>(to, from, count);
            } else if (count >= 4) {
                Move<4>(to, from, count);
            } else if (count > 0) {
                to[0] = from[0];
                to[count / 2] = from[count / 2];
                to[count - 1] = from[count - 1];
            }
            return;
        }
        if (count <= 32) {
            Move<16>(to, from, count);
            return;
        }
        if (count <= 64) {
            Move<32>(to, from, count);
            return;
        }
        std::memcpy(to, from, count);
    }
    // Copies `count` bytes (from `size` to twice `size`) as a first and a last piece of
    // `size` bytes, which overlap when `count` is less than twice `size`.
    template <std::size_t size>
    QUIRTLE_ALWAYS_INLINE static void Move(char* to, const char* from, std::size_t count) {
        char head[size];
        char tail[size];
        std::memcpy(head, from, size);
        std::memcpy(tail, from + count - size, size);
        std::memcpy(to, head, size);
        std::memcpy(to + count - size, tail, size);
    }
    // The string's length is the room written into; its capacity may be more. `used` bytes
    // of it are written.
    void Adopt(std::size_t used) {
        data = storage->data();
        next = data + used;
        limit = data + storage->size();
    }
    // Lengthening a string clears the new bytes, so the string is lengthened by what is
    // needed and a step more, never to its whole capacity at once.
    QUIRTLE_NOINLINE void Grow(std::size_t more) {
        constexpr std::size_t step = 64 * 1024;
        const std::size_t used = size();
        const std::size_t wanted = used + more;
        const auto capacity = static_cast<std::size_t>(limit - data);
        std::size_t length = capacity + step > wanted ? capacity + step : wanted;
        if (length > storage->capacity()) {
            const std::size_t doubled = 2 * storage->capacity();
            storage->reserve(doubled > length ? doubled : length);
        }
        storage->resize(length);
        Adopt(used);
    }

    std::string* storage;
    char* data = nullptr;   // the string's bytes
    char* next = nullptr;   // where the next byte is written
    char* limit = nullptr;  // the end of the string's length
};

}  // namespace quirtle
