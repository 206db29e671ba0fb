#include "Iconv.h"

#include <cerrno>

namespace quirtle::importer {

bool Iconv::Convert(std::string_view in, std::string& out, std::size_t& failedAt) {
    failedAt = 0;
    if (!Valid()) return false;
    ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char buffer[16384];
    while (true) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = ::iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (result != static_cast<std::size_t>(-1)) {
            if (inLeft > 0) continue;
            // Whatever a stateful conversion still holds.
            outPtr = buffer;
            outLeft = sizeof buffer;
            ::iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            return true;
        }
        if (errno == E2BIG) continue;
        failedAt = static_cast<std::size_t>(inPtr - in.data());
        return false;
    }
}

}  // namespace quirtle::importer
