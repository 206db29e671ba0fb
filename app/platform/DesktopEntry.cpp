#include "platform/DesktopEntry.h"

#include <QStringList>

namespace quirtle {
namespace {

// The value escapes of a desktop entry: \s, \n, \t, \r and \\.
QString Unescape(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
            case u's':
                out += u' ';
                break;
            case u'n':
                out += u'\n';
                break;
            case u't':
                out += u'\t';
                break;
            case u'r':
                out += u'\r';
                break;
            case u'\\':
                out += u'\\';
                break;
            default:
                // Not an entry escape: the pair is left for the Exec quoting.
                out += u'\\';
                out += next;
                break;
        }
    }
    return out;
}

}  // namespace

std::optional<QString> ExecOfDesktopEntry(const QString& entryText) {
    bool inMainGroup = false;
    for (const QString& rawLine : entryText.split(u'\n')) {
        const QString line = rawLine.trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup) continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0 || line.left(equals).trimmed() != QStringLiteral("Exec")) continue;
        return Unescape(line.mid(equals + 1).trimmed());
    }
    return std::nullopt;
}

}  // namespace quirtle
