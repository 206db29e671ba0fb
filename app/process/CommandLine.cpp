#include "process/CommandLine.h"

#include <cstddef>

namespace quirtle::process {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsLeadByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

class Scanner {
  public:
    explicit Scanner(std::string_view text) : text_(text) {}

    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek(size_t ahead = 0) const {
        return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
    }
    void SkipBlanks() {
        while (!AtEnd() && IsBlank(text_[pos_])) ++pos_;
    }

    // Copies the character at the position (one byte, or two for a lead byte) into `out`.
    void CopyCharacter(std::string& out) {
        const char c = text_[pos_++];
        out.push_back(c);
        if (IsLeadByte(c) && !AtEnd()) out.push_back(text_[pos_++]);
    }

    void Skip() { ++pos_; }

    std::string ProgramName() {
        std::string out;
        bool quoted = false;
        while (!AtEnd()) {
            const char c = Peek();
            if (c == '"') {
                quoted = !quoted;
                Skip();
            } else if (!quoted && IsBlank(c)) {
                break;
            } else {
                CopyCharacter(out);
            }
        }
        return out;
    }

    std::string Argument() {
        std::string out;
        bool quoted = false;
        while (true) {
            size_t backslashes = 0;
            while (Peek() == '\\' && !AtEnd()) {
                ++backslashes;
                Skip();
            }
            bool copy = true;
            if (!AtEnd() && Peek() == '"') {
                if (backslashes % 2 == 0) {
                    if (quoted && Peek(1) == '"') {
                        Skip();  // "" inside quotes: the second one is copied below
                    } else {
                        copy = false;
                        quoted = !quoted;
                    }
                }
                backslashes /= 2;
            }
            out.append(backslashes, '\\');
            if (AtEnd() || (!quoted && IsBlank(Peek()))) break;
            if (copy) {
                CopyCharacter(out);
            } else {
                Skip();
            }
        }
        return out;
    }

  private:
    std::string_view text_;
    size_t pos_ = 0;
};

void AppendArguments(Scanner& scanner, std::vector<std::string>& out) {
    while (true) {
        scanner.SkipBlanks();
        if (scanner.AtEnd()) break;
        out.push_back(scanner.Argument());
    }
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view text) {
    std::vector<std::string> out;
    Scanner scanner(text);
    scanner.SkipBlanks();
    if (scanner.AtEnd()) return out;
    out.push_back(scanner.ProgramName());
    AppendArguments(scanner, out);
    return out;
}

std::vector<std::string> SplitArguments(std::string_view text) {
    std::vector<std::string> out;
    Scanner scanner(text);
    AppendArguments(scanner, out);
    return out;
}

}  // namespace quirtle::process
