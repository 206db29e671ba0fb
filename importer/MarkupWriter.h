// Writes the lines of a manuscript: one-line commands, section lines, paragraphs and
// indented divisions, each with the escapes that keep its text text.
#pragma once

#include <string>
#include <string_view>

#include "InlineText.h"

namespace quirtle::importer {

class MarkupWriter {
  public:
    // ":name text", the text one parameter (quoted when it holds a space).
    void Command(std::u32string_view name, std::u32string_view text);
    // A one-line command without parameters (":pagebreak").
    void Command(std::u32string_view name);
    // A section of `depth` with the line as its heading.
    void Heading(int depth, const InlineLine& line);
    // A paragraph, or with `indent` > 0 an item of an "indent" division whose first
    // parameter is the number of characters.
    void Paragraph(const InlineLine& line, int indent = 0);
    void Blank();

    std::string Utf8() const;

  private:
    void EndLine();

    std::u32string out_;
    int openIndent_ = 0;  // the indent of the division the last line continued, or 0
};

}  // namespace quirtle::importer
