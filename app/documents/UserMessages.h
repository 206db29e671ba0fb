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

// The character as the questions show it: itself when it can be seen, else its code point.
QString ShownCharacter(char32_t character);

// Asks, once, whether a manuscript holding a character Shift_JIS cannot hold (the first
// one named with its line) is to be saved as UTF-8; true for "UTF-8 で保存" (the default).
bool ConfirmSaveAsUtf8(Prompts& prompts, QWidget* owner, const text::Unencodable& first);

// Asks whether the external editor's file, which the locale's character set `charset`
// cannot hold (the first such character named), is to be written as UTF-8 instead.
bool ConfirmEditorFileAsUtf8(Prompts& prompts, QWidget* owner, const text::Unencodable& first,
                             const QString& charset);

// Tells the user that the text an external editor saved could not be read back, and which
// file still holds it.
QString UnreadableEditText(const QString& path);

}  // namespace quirtle::documents
