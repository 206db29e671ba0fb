#pragma once

#include <QString>
#include <functional>
#include <optional>

class QPlainTextEdit;

namespace quirtle::editing {

// Text as it must be written inside an inline element so that the converter reads it back
// as it is: a backslash before \ _ * [ { (which would open or close an element).
QString EscapeElementText(const QString& text);
// A reading as it must be written between [ and ]: a backslash before \ ] _.
QString EscapeReading(const QString& reading);

// The selected markup as the content of a new inline element: the author's own ruby,
// emphasis and commands in it stay as they are (when the converter reads them), and only what
// would close the new element early gets a backslash; markup that does not read is written
// as plain text (EscapeElementText).
QString ElementContent(const QString& markup);

// `_base[reading]` and `_text*`, with the base and text as ElementContent gives them.
QString RubyMarkup(const QString& base, const QString& reading);
QString EmphasisMarkup(const QString& text);

// Asks the author for the reading of a base text; nothing when cancelled.
using ReadingQuestion = std::function<std::optional<QString>(const QString& base)>;

// What an insertion did, for the status bar.
enum class InsertionResult { Inserted, Cancelled, SeveralLines };

// With a selection in one line: asks for the reading and writes `_base[reading]`; without
// one: writes `_[]` with the cursor after `_`, so the author types the base and then the
// reading. One undo step.
InsertionResult InsertRuby(QPlainTextEdit& editor, const ReadingQuestion& askReading);
// Wraps the selection in `_…*` (each line of it on its own); without a selection writes
// `_*` with the cursor between. One undo step.
InsertionResult InsertEmphasis(QPlainTextEdit& editor);

}  // namespace quirtle::editing
