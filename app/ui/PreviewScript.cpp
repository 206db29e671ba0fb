#include "ui/PreviewScript.h"

namespace quirtle {

QString JavaScriptStringLiteral(QStringView text) {
    static constexpr char kHex[] = "0123456789abcdef";
    QString literal;
    literal.reserve(text.size() + text.size() / 16 + 16);
    literal += '"';
    // Runs of characters that need no escape are copied whole.
    qsizetype runStart = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t u = text[i].unicode();
        const bool plain = u >= 0x20 && u != '"' && u != '\\' && u != 0x2028 && u != 0x2029;
        if (plain) continue;
        literal.append(text.mid(runStart, i - runStart));
        runStart = i + 1;
        switch (u) {
            case '"':
                literal += QLatin1String("\\\"");
                break;
            case '\\':
                literal += QLatin1String("\\\\");
                break;
            case '\n':
                literal += QLatin1String("\\n");
                break;
            case '\r':
                literal += QLatin1String("\\r");
                break;
            case '\t':
                literal += QLatin1String("\\t");
                break;
            default:
                // Other control characters, and the two characters that end a line in
                // JavaScript source.
                literal += QLatin1String("\\u");
                literal += QLatin1Char(kHex[(u >> 12) & 0xf]);
                literal += QLatin1Char(kHex[(u >> 8) & 0xf]);
                literal += QLatin1Char(kHex[(u >> 4) & 0xf]);
                literal += QLatin1Char(kHex[u & 0xf]);
        }
    }
    literal.append(text.mid(runStart));
    literal += '"';
    return literal;
}

QString ContentsAssignmentScript(QStringView html) {
    return QStringLiteral(
               "(function(){var e=document.getElementById(\"contents\");"
               "if(!e)return false;e.innerHTML=%1;return true;})()")
        .arg(JavaScriptStringLiteral(html));
}

}  // namespace quirtle
