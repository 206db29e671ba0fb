#include "text/LocaleCharset.h"

#include <langinfo.h>

namespace quirtle::text {

QByteArray LocaleCharset() {
    const QByteArray codeset(nl_langinfo(CODESET));
    if (codeset.isEmpty() || codeset == "ANSI_X3.4-1968" || codeset == "ASCII" ||
        codeset == "US-ASCII") {
        return QByteArrayLiteral("UTF-8");
    }
    return codeset;
}

}  // namespace quirtle::text
