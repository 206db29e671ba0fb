#include "ui/PreviewScript.h"

namespace quirtle {

QString JavaScriptStringLiteral(QStringView text) {
    static constexpr char kHex[] = "0123456789abcdef";
    QString literal;
    literal.reserve(text.size() + text.size() / 8 + 2);
    literal += '"';
    for (const QChar c : text) {
        const char16_t u = c.unicode();
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
                // Control characters and the two characters that end a line in JavaScript
                // source are written as escapes; everything else as it is.
                if (u < 0x20 || u == 0x2028 || u == 0x2029) {
                    literal += QLatin1String("\\u");
                    literal += QLatin1Char(kHex[(u >> 12) & 0xf]);
                    literal += QLatin1Char(kHex[(u >> 8) & 0xf]);
                    literal += QLatin1Char(kHex[(u >> 4) & 0xf]);
                    literal += QLatin1Char(kHex[u & 0xf]);
                } else {
                    literal += c;
                }
        }
    }
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
