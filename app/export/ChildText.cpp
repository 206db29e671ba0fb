#include "export/ChildText.h"

#include <optional>

#include "text/ShiftJis.h"

namespace quirtle {

QString DecodeChildText(std::string_view bytes) {
    const auto size = static_cast<qsizetype>(bytes.size());
    if (text::LooksLikeUtf8(bytes)) {
        QString text = QString::fromUtf8(bytes.data(), size);
        if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        return text;
    }
    if (std::optional<QString> text = text::DecodeShiftJis(bytes)) return *text;
    QString text = QString::fromLocal8Bit(bytes.data(), size);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

}  // namespace quirtle
