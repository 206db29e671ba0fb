#include "Utf8Repair.h"

namespace quirtle::utf8 {

namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// How many bytes of a sequence that starts with `lead` are valid, at most its length:
// the lead byte, a second byte in the range the lead byte allows (so that overlong forms,
// surrogates and code points above U+10FFFF are cut off there), then continuation bytes.
// 0 for a byte that starts no sequence. `length` is set to the length of a whole sequence.
std::size_t ValidPrefix(const unsigned char* at, const unsigned char* end, std::size_t& length) {
    const unsigned char lead = at[0];
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        length = 1;
        return 0;
    }
    std::size_t valid = 1;
    if (at + 1 < end && at[1] >= low && at[1] <= high) {
        valid = 2;
        while (valid < length && at + valid < end && IsContinuation(at[valid])) {
            ++valid;
        }
    }
    return valid;
}

}  // namespace

std::size_t ValidCharLength(const char* at, const char* end) {
    const auto* const from = reinterpret_cast<const unsigned char*>(at);
    if (*from < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    const std::size_t valid =
        ValidPrefix(from, reinterpret_cast<const unsigned char*>(end), length);
    return valid == length ? length : 0;
}

std::size_t DecodeChar(const char* at, const char* end, char32_t& value) {
    const std::size_t length = ValidCharLength(at, end);
    if (length == 0) {
        return 0;
    }
    const auto lead = static_cast<unsigned char>(at[0]);
    char32_t decoded = length == 1 ? lead : lead & (0x7FU >> length);
    for (std::size_t k = 1; k < length; ++k) {
        decoded = (decoded << 6) | (static_cast<unsigned char>(at[k]) & 0x3FU);
    }
    value = decoded;
    return length;
}

void AppendRepaired(std::string_view text, std::string& out) {
    const auto* at = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = at + text.size();
    const auto* run = at;  // start of the valid bytes not appended yet
    while (at < end) {
        if (*at < 0x80) {
            ++at;
            continue;
        }
        std::size_t length = 0;
        const std::size_t valid = ValidPrefix(at, end, length);
        if (valid == length) {
            at += length;
            continue;
        }
        out.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(at - run));
        out.append(replacement);
        at += valid == 0 ? 1 : valid;  // the maximal subpart: one U+FFFD for it
        run = at;
    }
    out.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(end - run));
}

bool IsValid(std::string_view text) {
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at < end) {
        const std::size_t length = ValidCharLength(at, end);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

}  // namespace quirtle::utf8
