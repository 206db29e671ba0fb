// A glibc iconv conversion descriptor owned for one use.
#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace quirtle::importer {

class Iconv {
  public:
    Iconv(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
    ~Iconv() {
        if (Valid()) ::iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    // Converts all of `in` and appends it to `out`. On bytes that cannot be converted
    // returns false and sets `failedAt` to their offset in `in`.
    bool Convert(std::string_view in, std::string& out, std::size_t& failedAt);

  private:
    iconv_t cd_;
};

}  // namespace quirtle::importer
