// Where a conversion writes its output.
#pragma once

#include <string>
#include <string_view>

namespace quirtle {

// Receives the converted bytes in order, in pieces of any size. A sink that cannot take
// more (a full disk) remembers that itself; the conversion does not stop for it.
class OutputSink {
  public:
    virtual ~OutputSink() = default;
    virtual void Write(std::string_view bytes) = 0;
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
