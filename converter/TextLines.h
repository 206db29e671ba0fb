// The manuscript's lines, without their terminators.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quirtle {

// Holds the manuscript text once and the position of every line in it, so that
// splitting a large manuscript costs no allocation per line.
class TextLines {
  public:
    // Replaces the lines by those of `text`: CR, LF and CR LF each end one line; bytes
    // after the last terminator form the last line.
    void Assign(std::string text);
    void Clear();

    std::size_t Size() const { return spans.size(); }
    bool Empty() const { return spans.empty(); }
    // Bytes of the whole text, terminators included.
    std::size_t TextSize() const { return text.size(); }
    std::string_view operator[](std::size_t index) const {
        return std::string_view(text).substr(spans[index].offset, spans[index].length);
    }

  private:
    struct Span {
        std::size_t offset;
        std::size_t length;
    };
    std::string text;
    std::vector<Span> spans;
};

}  // namespace quirtle
