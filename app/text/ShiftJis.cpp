#include "text/ShiftJis.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "Utf8Repair.h"

namespace quirtle::text {
namespace {

// Owns one iconv conversion descriptor.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

// The editor's text as code points, every line break (CR LF, CR, LF, U+2029) turned into CR LF.
std::vector<char32_t> WithCrLf(QStringView text) {
    const QList<uint> ucs4 = text.toUcs4();
    std::vector<char32_t> out;
    out.reserve(static_cast<size_t>(ucs4.size()) + static_cast<size_t>(ucs4.size()) / 16);
    for (qsizetype i = 0; i < ucs4.size(); ++i) {
        const char32_t c = ucs4[i];
        if (c == U'\r') {
            if (i + 1 < ucs4.size() && ucs4[i + 1] == U'\n') ++i;
        } else if (c != U'\n' && c != U'\x2029') {
            out.push_back(c);
            continue;
        }
        out.push_back(U'\r');
        out.push_back(U'\n');
    }
    return out;
}

}  // namespace

EncodedText EncodeShiftJis(QStringView text) {
    return EncodeText("CP932", text);
}

EncodedText EncodeText(const char* charset, QStringView text) {
    EncodedText result;
    std::vector<char32_t> input = WithCrLf(text);
    if (input.empty()) return result;

    Converter converter(charset, "UTF-32LE");
    if (!converter.valid()) {
        // No conversion table: nothing can be represented faithfully.
        result.firstUnencodable = Unencodable{input.front(), 1};
        result.bytes.assign(input.size(), '?');
        return result;
    }

    result.bytes.resize(input.size() * 2 + 16);  // grows for wider sets (UTF-8)
    char* in = reinterpret_cast<char*>(input.data());
    size_t inLeft = input.size() * sizeof(char32_t);
    char* out = result.bytes.data();
    size_t outLeft = result.bytes.size();
    while (inLeft > 0) {
        const size_t rc = iconv(converter.get(), &in, &inLeft, &out, &outLeft);
        if (rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            const size_t used = static_cast<size_t>(out - result.bytes.data());
            result.bytes.resize(result.bytes.size() * 2);
            out = result.bytes.data() + used;
            outLeft = result.bytes.size() - used;
            continue;
        }
        // EILSEQ (no CP932 code) or EINVAL: replace this one character and go on.
        const size_t index =
            static_cast<size_t>(in - reinterpret_cast<char*>(input.data())) / sizeof(char32_t);
        if (!result.firstUnencodable) {
            int line = 1;
            for (size_t i = 0; i < index; ++i) {
                if (input[i] == U'\n') ++line;
            }
            result.firstUnencodable = Unencodable{input[index], line};
        }
        if (outLeft == 0) {
            const size_t used = static_cast<size_t>(out - result.bytes.data());
            result.bytes.resize(result.bytes.size() * 2);
            out = result.bytes.data() + used;
            outLeft = result.bytes.size() - used;
        }
        *out++ = '?';
        --outLeft;
        in += sizeof(char32_t);
        inLeft -= sizeof(char32_t);
    }
    result.bytes.resize(static_cast<size_t>(out - result.bytes.data()));
    return result;
}

std::optional<QString> DecodeShiftJis(std::string_view bytes) {
    if (bytes.empty()) return QString();
    Converter converter("UTF-16LE", "CP932");
    if (!converter.valid()) return std::nullopt;

    // Every CP932 character is one or two bytes and becomes one UTF-16 unit.
    std::vector<char16_t> units(bytes.size() + 1);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* out = reinterpret_cast<char*>(units.data());
    size_t outLeft = units.size() * sizeof(char16_t);
    if (iconv(converter.get(), &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) {
        return std::nullopt;  // an invalid or truncated sequence
    }
    const size_t count =
        static_cast<size_t>(out - reinterpret_cast<char*>(units.data())) / sizeof(char16_t);

    QString text(reinterpret_cast<const QChar*>(units.data()), static_cast<qsizetype>(count));
    UnifyLineBreaks(text);
    return text;
}

void UnifyLineBreaks(QString& text) {
    if (!text.contains(u'\r')) return;
    QChar* const begin = text.data();
    const qsizetype size = text.size();
    qsizetype kept = 0;
    for (qsizetype i = 0; i < size; ++i) {
        QChar c = begin[i];
        if (c == u'\r') {
            if (i + 1 < size && begin[i + 1] == u'\n') ++i;
            c = u'\n';
        }
        begin[kept++] = c;
    }
    text.truncate(kept);
}

std::optional<std::u16string> ConvertToUtf16(const char* charset, std::string_view bytes) {
    if (bytes.empty()) return std::u16string();
    Converter converter("UTF-16LE", charset);
    if (!converter.valid()) return std::nullopt;
    std::u16string units(bytes.size() + 2, u'\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* out = reinterpret_cast<char*>(units.data());
    size_t outLeft = units.size() * sizeof(char16_t);
    while (inLeft > 0) {
        if (iconv(converter.get(), &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1)) {
            break;
        }
        if (errno != E2BIG) return std::nullopt;  // an invalid or truncated sequence
        const size_t used = static_cast<size_t>(out - reinterpret_cast<char*>(units.data()));
        units.resize(units.size() * 2);
        out = reinterpret_cast<char*>(units.data()) + used;
        outLeft = units.size() * sizeof(char16_t) - used;
    }
    // A stateful set (ISO-2022-JP) may still owe a final character.
    if (iconv(converter.get(), nullptr, nullptr, &out, &outLeft) == static_cast<size_t>(-1)) {
        return std::nullopt;
    }
    units.resize(static_cast<size_t>(out - reinterpret_cast<char*>(units.data())) /
                 sizeof(char16_t));
    return units;
}

std::optional<std::string> ShiftJisToUtf8(std::string_view bytes) {
    if (bytes.empty()) return std::string();
    Converter converter("UTF-8", "CP932");
    if (!converter.valid()) return std::nullopt;
    // A CP932 character of one or two bytes takes at most three bytes in UTF-8.
    std::string result;
    result.resize(bytes.size() * 3);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* out = result.data();
    size_t outLeft = result.size();
    if (iconv(converter.get(), &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) {
        return std::nullopt;  // an invalid or truncated sequence
    }
    result.resize(static_cast<size_t>(out - result.data()));
    return result;
}

bool LooksLikeUtf8(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return true;
    const bool multibyte = std::any_of(bytes.begin(), bytes.end(), [](char byte) {
        return static_cast<unsigned char>(byte) >= 0x80;
    });
    return multibyte && utf8::IsValid(bytes);
}

}  // namespace quirtle::text
