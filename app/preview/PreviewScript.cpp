#include "preview/PreviewScript.h"

#include <algorithm>
#include <iterator>

#include "text/ShiftJis.h"

namespace quirtle {
namespace {

constexpr char16_t kScriptHead[] =
    u"(function(){var e=document.getElementById(\"contents\");"
    u"if(!e)return \"none\";e.innerHTML=\"";
constexpr char16_t kScriptTail[] = u"\";return \"done\";})()";

// Writes the escape of one character that JavaScriptStringLiteral escapes too.
char16_t* WriteEscape(char16_t u, char16_t* out) {
    static constexpr char kHex[] = "0123456789abcdef";
    *out++ = u'\\';
    switch (u) {
        case '"':
        case '\\':
            *out++ = u;
            return out;
        case '\n':
            *out++ = u'n';
            return out;
        case '\r':
            *out++ = u'r';
            return out;
        case '\t':
            *out++ = u't';
            return out;
        default:
            *out++ = u'u';
            *out++ = static_cast<char16_t>(kHex[(u >> 12) & 0xf]);
            *out++ = static_cast<char16_t>(kHex[(u >> 8) & 0xf]);
            *out++ = static_cast<char16_t>(kHex[(u >> 4) & 0xf]);
            *out++ = static_cast<char16_t>(kHex[u & 0xf]);
            return out;
    }
}

}  // namespace

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
               "if(!e)return \"none\";e.innerHTML=%1;return \"done\";})()")
        .arg(JavaScriptStringLiteral(html));
}

std::optional<QString> ContentsAssignmentScriptFromShiftJis(std::string_view html) {
    const auto units = text::ConvertToUtf16("CP932", html);
    if (!units) return std::nullopt;
    constexpr qsizetype kHeadSize = std::size(kScriptHead) - 1;
    constexpr qsizetype kTailSize = std::size(kScriptTail) - 1;
    // An escape takes at most six units; the script is cut to its size at the end.
    qsizetype escapes = 0;
    for (const char16_t u : *units)
        escapes += u < 0x20 || u == '"' || u == '\\' || u == 0x2028 || u == 0x2029;
    QString script;
    script.resize(kHeadSize + static_cast<qsizetype>(units->size()) + escapes * 5 + kTailSize);
    char16_t* const begin = reinterpret_cast<char16_t*>(script.data());
    char16_t* out = std::copy_n(kScriptHead, kHeadSize, begin);
    const char16_t* in = units->data();
    const char16_t* const end = in + units->size();
    while (in < end) {
        const char16_t u = *in++;
        if (u >= 0x20 && u != '"' && u != '\\' && u != 0x2028 && u != 0x2029) {
            *out++ = u;
        } else if (u == '\r') {
            // CR LF and a lone CR end one line, as '\n' does.
            if (in < end && *in == '\n') ++in;
            out = WriteEscape(u'\n', out);
        } else {
            out = WriteEscape(u, out);
        }
    }
    out = std::copy_n(kScriptTail, kTailSize, out);
    script.truncate(out - begin);
    return script;
}

QString ContentsFetchScript(const QUrl& fragmentFile, quint64 number) {
    // A synchronous request: the element has its new content when the script returns, and
    // the answer to the program says so. The query keeps each reading apart from the last.
    const QString url =
        fragmentFile.toString(QUrl::FullyEncoded) + QStringLiteral("?%1").arg(number);
    return QStringLiteral(
               "(function(){var e=document.getElementById(\"contents\");"
               "if(!e)return \"none\";var r=new XMLHttpRequest();"
               "try{r.open(\"GET\",%1,false);"
               "r.overrideMimeType(\"text/html;charset=utf-8\");r.send();}"
               "catch(x){return \"failed\";}"
               "if(r.status!==0&&r.status!==200)return \"failed\";"
               "e.innerHTML=r.responseText;return \"done\";})()")
        .arg(JavaScriptStringLiteral(url));
}

QString PatchScript(quint64 base, quint64 next, std::size_t start, std::size_t removed,
                    const PatchBlocks& blocks) {
    return QStringLiteral(
               "window.quirtlePreview?quirtlePreview.apply(%1,%2,%3,%4,\"%5\",%6,%7)"
               ":\"none\"")
        .arg(base)
        .arg(next)
        .arg(start)
        .arg(removed)
        .arg(blocks.kinds, JavaScriptStringLiteral(blocks.text), blocks.lengths);
}

QString PatchFromFileScript(quint64 base, quint64 next, std::size_t start, std::size_t removed,
                            const PatchBlocks& blocks, const QUrl& fragmentFile) {
    // The query keeps each reading of the file apart from the last.
    const QString url = fragmentFile.toString(QUrl::FullyEncoded) + QStringLiteral("?%1").arg(next);
    return QStringLiteral(
               "window.quirtlePreview?quirtlePreview.applyFrom(%1,%2,%3,%4,\"%5\",%6,%7)"
               ":\"none\"")
        .arg(base)
        .arg(next)
        .arg(start)
        .arg(removed)
        .arg(blocks.kinds, JavaScriptStringLiteral(url), blocks.lengths);
}

QString RevealScript(std::size_t index, bool smooth) {
    return QStringLiteral("window.quirtlePreview&&quirtlePreview.reveal(%1,%2)")
        .arg(index)
        .arg(smooth ? QStringLiteral("true") : QStringLiteral("false"));
}

QString BlockAtScript(double x, double y) {
    return QStringLiteral("window.quirtlePreview?quirtlePreview.blockAt(%1,%2):-1").arg(x).arg(y);
}

QString NoticeScript(QStringView notice) {
    return QStringLiteral("window.quirtlePreview?quirtlePreview.notice(%1):\"none\"")
        .arg(JavaScriptStringLiteral(notice));
}

}  // namespace quirtle
