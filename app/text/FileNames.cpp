#include "text/FileNames.h"

namespace quirtle::text {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// The length of the valid UTF-8 character at `at`, or 0 when the byte there starts none.
int ValidSequence(const QByteArray& bytes, qsizetype at, char32_t& character) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char first = byte(at);
    if (first < 0x80) {
        character = first;
        return 1;
    }
    int length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2, value = first & 0x1F, least = 0x80;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3, value = first & 0x0F, least = 0x800;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4, value = first & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size()) return 0;
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if ((next & 0xC0) != 0x80) return 0;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    character = value;
    return length;
}

}  // namespace

QString FileNameFromBytes(const QByteArray& bytes) {
    QString name;
    name.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        char32_t character = 0;
        const int length = ValidSequence(bytes, at, character);
        if (length == 0) {
            name.append(
                QChar(static_cast<char16_t>(kEscapeBase | static_cast<unsigned char>(bytes[at]))));
            ++at;
            continue;
        }
        name.append(QString::fromUcs4(&character, 1));
        at += length;
    }
    return name;
}

QByteArray FileNameToBytes(const QString& name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    for (qsizetype at = 0; at < name.size(); ++at) {
        const char16_t unit = name[at].unicode();
        if (QChar::isHighSurrogate(unit) && at + 1 < name.size() && name[at + 1].isLowSurrogate()) {
            bytes += name.mid(at, 2).toUtf8();
            ++at;
            continue;
        }
        if (unit >= 0xDC80 && unit <= 0xDCFF) {
            bytes.append(static_cast<char>(unit & 0xFF));
            continue;
        }
        bytes += QString(QChar(unit)).toUtf8();
    }
    return bytes;
}

bool IsValidUtf8(const QByteArray& bytes) {
    for (qsizetype at = 0; at < bytes.size();) {
        char32_t character = 0;
        const int length = ValidSequence(bytes, at, character);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

QString ShownFileName(const QString& name) {
    QString shown;
    for (qsizetype at = 0; at < name.size(); ++at) {
        const char16_t unit = name[at].unicode();
        const bool paired =
            QChar::isHighSurrogate(unit) && at + 1 < name.size() && name[at + 1].isLowSurrogate();
        if (paired) {
            shown += name.mid(at, 2);
            ++at;
        } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
            shown += QStringLiteral("\\x") +
                     QString::number(unit & 0xFF, 16).toUpper().rightJustified(2, u'0');
        } else {
            shown += QChar(unit);
        }
    }
    return shown;
}

}  // namespace quirtle::text
