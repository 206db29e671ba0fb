#pragma once

class QCoreApplication;

namespace quirtle {

// Loads Qt's own Japanese translations (qtbase_ja), whatever the user's locale, so that the
// texts Qt writes itself (the file dialogs' menus and questions, the standard buttons) are
// Japanese like the program's. False when the translation file is not installed.
bool InstallJapaneseTexts(QCoreApplication& application);

}  // namespace quirtle
