#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace quirtle {
class Prompts;
}

namespace quirtle::documents {

// The notations a text can be imported from, in the order the import offers them.
QStringList ImportNotationNames();

// Asks for a text written in the notation of 青空文庫, カクヨム or 小説家になろう (UTF-8 or
// Shift_JIS), then for its notation with the one the text looks like chosen, and returns
// its manuscript. Nothing when a question was cancelled or the file cannot be read (a
// message has then said why).
std::optional<QString> ChooseAndImport(Prompts& prompts, QWidget* owner);

}  // namespace quirtle::documents
