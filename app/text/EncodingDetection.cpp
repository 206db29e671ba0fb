#include "text/EncodingDetection.h"

#include <uchardet.h>

#include <QStringDecoder>
#include <cstring>
#include <memory>

#include "text/ShiftJis.h"
#include "text/Utf8ShiftJis.h"

namespace quirtle::text {
namespace {

// '\n' for CR LF and lone CR.
QString WithLf(QString text) {
    if (!text.contains(QLatin1Char('\r'))) return text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// True when a surrogate of UTF-16 stands without its partner.
bool HasLoneSurrogate(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            return true;
        }
    }
    return false;
}

// Decodes with Qt's strict decoders; nothing when a sequence is invalid.
std::optional<QString> DecodeStrict(QStringConverter::Encoding encoding, std::string_view bytes) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text =
        decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (decoder.hasError() || HasLoneSurrogate(text)) return std::nullopt;
    return WithLf(std::move(text));
}

// Decodes with glibc iconv; nothing when a sequence is invalid or the charset is unknown.
std::optional<QString> DecodeIconv(const char* charset, std::string_view bytes) {
    if (bytes.empty()) return QString();
    const std::optional<std::u16string> units = ConvertToUtf16(charset, bytes);
    if (!units) return std::nullopt;
    return WithLf(QString(reinterpret_cast<const QChar*>(units->data()),
                          static_cast<qsizetype>(units->size())));
}

// EUC-JP text never uses the bytes 0x80 to 0x8D, which the converter passes on as C1
// control characters; a reading holding them is not EUC-JP text.
std::optional<QString> DecodeEucJp(std::string_view bytes) {
    std::optional<QString> text = DecodeIconv("EUC-JP", bytes);
    if (!text) return text;
    for (const QChar c : *text) {
        if (c.unicode() >= 0x80 && c.unicode() <= 0x9F) return std::nullopt;
    }
    return text;
}

// The detector's name for the bytes' character set ("SHIFT_JIS", "UTF-8", ...), upper case;
// empty when it has none.
std::string DetectCharset(std::string_view bytes) {
    const std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(
        uchardet_new(), &uchardet_delete);
    if (!detector) return {};
    if (uchardet_handle_data(detector.get(), bytes.data(), bytes.size()) != 0) return {};
    uchardet_data_end(detector.get());
    std::string name = uchardet_get_charset(detector.get());
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

// The rule a save follows: every character reads back as itself (so not the yen sign).
bool ShiftJisCanHold(const QString& text) {
    std::string bytes;
    return Utf8ToShiftJis(ToUtf8(text), bytes,
                          [](char32_t, std::size_t, std::string&) { return false; });
}

// Whether a UTF-8 reading of bytes that are Shift_JIS too may be meant: short Shift_JIS of
// half-width kana reads as Latin, Greek or Cyrillic letters (two-byte UTF-8 characters)
// there. Such a letter that Shift_JIS cannot hold speaks against UTF-8; characters beyond
// them (𠮟, ♡, emoji) do not.
bool PlausibleUtf8(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x80 && c.unicode() < 0x800 && !ShiftJisHolds(c.unicode())) return false;
    }
    return true;
}

}  // namespace

std::optional<DecodedText> DecodeAnyText(std::string_view bytes, const char* fallbackCharset) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        if (auto text = DecodeStrict(QStringConverter::Utf8, bytes.substr(3))) {
            return DecodedText{TextEncoding::Utf8WithBom, *text};
        }
        return std::nullopt;
    }
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        const bool little = bytes[0] == '\xFF';
        const std::string_view body = bytes.substr(2);
        if (body.size() % 2 != 0) return std::nullopt;
        if (auto text = DecodeStrict(little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                                     body)) {
            return DecodedText{little ? TextEncoding::Utf16LE : TextEncoding::Utf16BE, *text};
        }
        return std::nullopt;
    }

    std::optional<QString> shiftJis = DecodeShiftJis(bytes);
    std::optional<QString> utf8 = DecodeStrict(QStringConverter::Utf8, bytes);
    std::optional<QString> eucJp = DecodeEucJp(bytes);
    const int valid = int(shiftJis.has_value()) + int(utf8.has_value()) + int(eucJp.has_value());

    if (valid == 0) {
        if (fallbackCharset != nullptr) {
            if (auto text = DecodeIconv(fallbackCharset, bytes)) {
                return DecodedText{TextEncoding::Other, *text};
            }
        }
        return std::nullopt;
    }
    if (valid == 1 || !shiftJis) {
        // One candidate, or UTF-8 against EUC-JP: only the detector can tell those apart.
        if (valid > 1 && DetectCharset(bytes) == "EUC-JP")
            return DecodedText{TextEncoding::EucJp, *eucJp};
        if (utf8) return DecodedText{TextEncoding::Utf8, *utf8};
        if (eucJp) return DecodedText{TextEncoding::EucJp, *eucJp};
        return DecodedText{TextEncoding::ShiftJis, *shiftJis};
    }

    // Shift_JIS and at least one other reading: the detector decides, Shift_JIS by default.
    const std::string detected = DetectCharset(bytes);
    if (utf8 && detected == "UTF-8" && PlausibleUtf8(*utf8)) {
        return DecodedText{TextEncoding::Utf8, *utf8};
    }
    if (eucJp && detected == "EUC-JP" && ShiftJisCanHold(*eucJp)) {
        return DecodedText{TextEncoding::EucJp, *eucJp};
    }
    return DecodedText{TextEncoding::ShiftJis, *shiftJis};
}

QString EncodingName(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::ShiftJis:
            return QStringLiteral("Shift_JIS");
        case TextEncoding::Utf8:
            return QStringLiteral("UTF-8");
        case TextEncoding::Utf8WithBom:
            return QStringLiteral("UTF-8 (BOM 付き)");
        case TextEncoding::Utf16LE:
        case TextEncoding::Utf16BE:
            return QStringLiteral("UTF-16");
        case TextEncoding::EucJp:
            return QStringLiteral("EUC-JP");
        case TextEncoding::Other:
            break;
    }
    return QStringLiteral("その他の文字コード");
}

}  // namespace quirtle::text
