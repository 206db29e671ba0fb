#pragma once

#include <QString>
#include <optional>

namespace quirtle {

// The Exec value of a desktop entry's "[Desktop Entry]" group, with the entry's string
// escapes (\s \n \t \r \\) resolved; nothing when the group has no Exec key.
std::optional<QString> ExecOfDesktopEntry(const QString& entryText);

}  // namespace quirtle
