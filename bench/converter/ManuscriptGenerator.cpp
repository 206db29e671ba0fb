#include "ManuscriptGenerator.h"

#include <iconv.h>

#include <cstdint>

namespace quirtle {

namespace {

class Random {
  public:
    std::uint32_t Next(std::uint32_t bound) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state >> 33) % bound;
    }

  private:
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
};

// Appends `count` Shift_JIS characters: mostly hiragana and kanji, some katakana
// (including ones whose trail byte is 0x5C, such as "ソ"), now and then ASCII.
void AppendJapanese(Random& random, std::string& out, int count) {
    for (int i = 0; i < count; ++i) {
        const std::uint32_t pick = random.Next(100);
        if (pick < 45) {  // hiragana 0x829F-0x82F1
            out.push_back('\x82');
            out.push_back(static_cast<char>(0x9F + random.Next(0xF1 - 0x9F + 1)));
        } else if (pick < 85) {  // first-level kanji, lead 0x88-0x97
            out.push_back(static_cast<char>(0x89 + random.Next(0x97 - 0x89 + 1)));
            out.push_back(static_cast<char>(0x40 + random.Next(0x7E - 0x40 + 1)));
        } else if (pick < 95) {  // katakana 0x8340-0x837E, trail bytes 0x5C, 0x5B, 0x5D...
            out.push_back('\x83');
            out.push_back(static_cast<char>(0x40 + random.Next(0x7E - 0x40 + 1)));
        } else {
            out.push_back(static_cast<char>('a' + random.Next(26)));
        }
    }
}

void AppendInlineText(Random& random, std::string& out, int count) {
    int written = 0;
    while (written < count) {
        const int run = 4 + static_cast<int>(random.Next(20));
        AppendJapanese(random, out, run);
        written += run;
        switch (random.Next(12)) {
            case 0:  // ruby
                out.push_back('_');
                AppendJapanese(random, out, 2);
                out.push_back('[');
                AppendJapanese(random, out, 4);
                out.push_back(']');
                break;
            case 1:  // emphasis
                out.push_back('_');
                AppendJapanese(random, out, 3);
                out.push_back('*');
                break;
            case 2:  // inline command with attributes and parameters
                out.push_back('_');
                AppendJapanese(random, out, 3);
                out.append("{note(c#n) a \"b & c\"}");
                break;
            case 3:
                out.append(" & <x> \"q\" \\_ ");
                break;
            default:
                break;
        }
    }
}

}  // namespace

std::string GenerateManuscript(std::size_t size) {
    Random random;
    std::string out;
    out.reserve(size + 512);
    while (out.size() < size) {
        const std::uint32_t kind = random.Next(40);
        if (kind == 0) {
            out.append(std::string(1 + random.Next(3), '*')).push_back(' ');
            AppendInlineText(random, out, 8);
        } else if (kind < 5) {
            out.append(std::string(1 + random.Next(2), '-')).push_back(' ');
            AppendInlineText(random, out, 20);
        } else if (kind == 5) {
            out.append("! ");
            AppendJapanese(random, out, 4);
            out.append(": ");
            AppendInlineText(random, out, 20);
        } else if (kind == 6) {
            out.append("> ");
            AppendInlineText(random, out, 30);
        } else if (kind == 7) {
            out.append(random.Next(2) ? "|{aside(box) p1 \"p 2\"} " : "| ");
            AppendInlineText(random, out, 20);
        } else if (kind == 8) {
            out.append(":image src=\"pic.png\" 320 200");
        } else if (kind == 9) {
            out.append("; ");
            AppendJapanese(random, out, 10);
        } else if (kind < 13) {
            // blank line
        } else if (kind == 13) {
            out.append("_");  // a mistake: rejected, shown as an incomplete block
            AppendJapanese(random, out, 10);
        } else {
            AppendInlineText(random, out, 40 + static_cast<int>(random.Next(60)));
        }
        out.append("\r\n");
    }
    return out;
}

std::string InUtf8(const std::string& shiftJis) {
    iconv_t recoder = iconv_open("UTF-8", "CP932");
    if (recoder == reinterpret_cast<iconv_t>(-1)) {
        return {};
    }
    std::string input = shiftJis;
    std::string output(input.size() * 2, '\0');
    char* in = input.data();
    char* out = output.data();
    std::size_t inLeft = input.size();
    std::size_t outLeft = output.size();
    const std::size_t done = iconv(recoder, &in, &inLeft, &out, &outLeft);
    iconv_close(recoder);
    if (done == static_cast<std::size_t>(-1)) {
        return {};
    }
    output.resize(output.size() - outLeft);
    return output;
}

}  // namespace quirtle
