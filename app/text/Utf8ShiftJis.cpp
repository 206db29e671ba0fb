#include "text/Utf8ShiftJis.h"

#include <iconv.h>

#include <QString>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>

#include "Utf8Repair.h"
#include "text/ShiftJis.h"

namespace quirtle::text {
namespace {

// The two characters CP932 writes with the codes of ASCII characters.
constexpr std::string_view kYen = "\xC2\xA5";
constexpr std::string_view kOverline = "\xE2\x80\xBE";

// Owns one iconv descriptor from UTF-8 to CP932.
class ToCp932 {
  public:
    ToCp932() : cd_(iconv_open("CP932", "UTF-8")) {}
    ~ToCp932() {
        if (valid()) iconv_close(cd_);
    }
    ToCp932(const ToCp932&) = delete;
    ToCp932& operator=(const ToCp932&) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts a run without the two ASCII-coded characters. False when the writer
    // stopped; `base` is the run's offset in the whole input.
    bool Run(std::string_view run, std::size_t base, std::string& out,
             const UnencodableWriter& writer) {
        char buffer[16384];
        char* in = const_cast<char*>(run.data());
        std::size_t inLeft = run.size();
        while (inLeft > 0) {
            char* produced = buffer;
            std::size_t room = sizeof buffer;
            const std::size_t rc =
                valid() ? iconv(cd_, &in, &inLeft, &produced, &room) : static_cast<std::size_t>(-1);
            const int error = valid() ? errno : EILSEQ;
            out.append(buffer, static_cast<std::size_t>(produced - buffer));
            if (rc != static_cast<std::size_t>(-1) || error == E2BIG) continue;
            // No CP932 code (EILSEQ), or a sequence that is not UTF-8 (EILSEQ, EINVAL).
            const std::size_t at = static_cast<std::size_t>(in - run.data());
            // A byte that starts no UTF-8 character is taken as one U+FFFD.
            char32_t character = 0xFFFD;
            const std::size_t length =
                std::max<std::size_t>(1, utf8::DecodeChar(in, run.data() + run.size(), character));
            if (!writer(character, base + at, out)) return false;
            in += length;
            inLeft -= length;
        }
        return true;
    }

  private:
    iconv_t cd_;
};

}  // namespace

bool ShiftJisHolds(char32_t character) {
    if (character == 0xA5 || character == 0x203E) return false;
    if (character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF)) return false;
    const QString one = QString::fromUcs4(&character, 1);
    const QByteArray utf8 = one.toUtf8();
    std::string out;
    return Utf8ToShiftJis(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())),
                          out, [](char32_t, std::size_t, std::string&) { return false; });
}

bool Utf8ToShiftJis(std::string_view utf8, std::string& out, const UnencodableWriter& writer) {
    ToCp932 converter;
    out.reserve(out.size() + utf8.size());
    std::size_t pos = 0;
    std::size_t nextYen = utf8.find(kYen);
    std::size_t nextOverline = utf8.find(kOverline);
    while (pos < utf8.size()) {
        if (nextYen != std::string_view::npos && nextYen < pos) nextYen = utf8.find(kYen, pos);
        if (nextOverline != std::string_view::npos && nextOverline < pos)
            nextOverline = utf8.find(kOverline, pos);
        const std::size_t special = std::min(nextYen, nextOverline);
        const std::size_t runEnd = std::min(special, utf8.size());
        if (!converter.Run(utf8.substr(pos, runEnd - pos), pos, out, writer)) return false;
        if (special == std::string_view::npos) break;
        const bool yen = special == nextYen;
        if (!writer(yen ? 0xA5 : 0x203E, special, out)) return false;
        pos = special + (yen ? kYen.size() : kOverline.size());
    }
    return true;
}

std::string Utf8WithCrLf(QStringView text) {
    const QByteArray utf8 = text.toUtf8();
    std::string out;
    out.reserve(static_cast<std::size_t>(utf8.size()) + static_cast<std::size_t>(utf8.size()) / 16);
    const char* data = utf8.constData();
    const qsizetype size = utf8.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\r') {
            if (i + 1 < size && data[i + 1] == '\n') ++i;
        } else if (c == '\xE2' && i + 2 < size && data[i + 1] == '\x80' && data[i + 2] == '\xA9') {
            i += 2;  // U+2029, the paragraph separator of Qt's documents
        } else if (c != '\n') {
            out.push_back(c);
            continue;
        }
        out.append("\r\n");
    }
    return out;
}

std::string ToUtf8(QStringView text) {
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

std::optional<QString> FromUtf8WithLf(std::string_view bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text =
        decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (decoder.hasError()) return std::nullopt;
    UnifyLineBreaks(text);
    return text;
}

int LineAt(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    return 1 + static_cast<int>(std::count(
                   text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

}  // namespace quirtle::text
