#include "MarkupWriter.h"

#include "Unicode.h"

namespace quirtle::importer {

void MarkupWriter::EndLine() {
    out_ += U"\r\n";
}

void MarkupWriter::Command(std::u32string_view name, std::u32string_view text) {
    openIndent_ = 0;
    out_ += U':';
    out_ += name;
    out_ += U' ';
    if (text.find(U' ') == std::u32string_view::npos && !text.empty() && text.front() != U'"') {
        out_ += text;
    } else {
        out_ += U'"';
        for (char32_t c : text) {
            if (c == U'"' || c == U'\\') out_ += U'\\';
            out_ += c;
        }
        out_ += U'"';
    }
    EndLine();
}

void MarkupWriter::Command(std::u32string_view name) {
    openIndent_ = 0;
    out_ += U':';
    out_ += name;
    EndLine();
}

void MarkupWriter::Heading(int depth, const InlineLine& line) {
    openIndent_ = 0;
    out_.append(static_cast<std::size_t>(depth), U'*');
    out_ += U' ';
    WriteInline(line.Nodes(), out_);
    EndLine();
}

void MarkupWriter::Paragraph(const InlineLine& line, int indent) {
    if (indent > 0) {
        // Another indent needs a division of its own: a blank line ends the open one (a
        // division line with the same name would only add an item to it).
        if (openIndent_ != 0 && openIndent_ != indent) EndLine();
        if (openIndent_ == indent) {
            out_ += U"| ";
        } else {
            out_ += U"|{indent ";
            for (char c : std::to_string(indent)) out_ += static_cast<char32_t>(c);
            out_ += U"} ";
        }
        openIndent_ = indent;
        WriteInline(line.Nodes(), out_);
        EndLine();
        return;
    }
    openIndent_ = 0;
    const std::size_t start = out_.size();
    WriteInline(line.Nodes(), out_);
    if (out_.size() > start && IsLineMarker(out_[start])) {
        out_.insert(out_.begin() + static_cast<std::ptrdiff_t>(start), U'\\');
    }
    EndLine();
}

void MarkupWriter::Blank() {
    openIndent_ = 0;
    EndLine();
}

std::string MarkupWriter::Utf8() const {
    return EncodeUtf8(out_);
}

}  // namespace quirtle::importer
