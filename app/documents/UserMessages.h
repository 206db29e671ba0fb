#pragma once

#include <QString>

#include "text/EncodingDetection.h"
#include "text/ShiftJis.h"

class QWidget;

namespace quirtle {
class Prompts;
}

namespace quirtle::documents {

// The reason a file operation failed, in words for the user, from an errno value.
QString DescribeFileError(int error);

// "<path> could not be saved" with the reason; shown as an error box with OK.
QString SaveFailedText(const QString& path, int error);

// Why a file is refused on opening: no encoding explains its bytes.
QString NotShiftJisText(const QString& path);

// Asks whether to open a file found in another encoding converted to Shift_JIS.
QString ConvertOnOpenText(const QString& path, text::TextEncoding encoding);

// Warns that the text holds a character Shift_JIS (or the named encoding) has no code for,
// naming the character and its line, and that it would be written as "?". True when the
// user chose to go on. Used wherever the editor's text leaves the program as bytes.
bool ConfirmUnencodable(Prompts& prompts, QWidget* owner, const text::Unencodable& first,
                        const QString& encodingName = QStringLiteral("Shift_JIS"));

// Tells the user that the text an external editor saved could not be read back, and which
// file still holds it.
QString UnreadableEditText(const QString& path);

}  // namespace quirtle::documents
