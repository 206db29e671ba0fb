// Where a conversion writes its output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quirtle {

// Receives the converted bytes in order, in pieces of any size. A sink that cannot take
// more (a full disk) remembers that itself; the conversion does not stop for it.
//
// A sink that wants to know which manuscript line wrote which output (a preview that maps
// its blocks back to lines, an editor that marks rejected lines) says so with
// `ReportsLines`; it is then told, before each line is converted, the line's index (0 for
// the first line of the conversion) and the offset in the whole output where that line's
// bytes begin (what it has been given by Write plus what the converter still holds), and
// after a line is rejected, its index and the status that rejected it.
class OutputSink {
  public:
    virtual ~OutputSink() = default;
    virtual void Write(std::string_view bytes) = 0;
    virtual bool ReportsLines() const { return false; }
    virtual void LineBegins(std::size_t /*line*/, std::size_t /*outputOffset*/) {}
    virtual void LineRejected(std::size_t /*line*/, int32_t /*status*/) {}
};

// Collects the output in a string.
class StringSink : public OutputSink {
  public:
    explicit StringSink(std::string& target) : target_(target) {}
    void Write(std::string_view bytes) override { target_.append(bytes); }

  private:
    std::string& target_;
};

}  // namespace quirtle
