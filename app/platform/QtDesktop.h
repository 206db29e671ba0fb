#pragma once

#include "platform/Desktop.h"

namespace quirtle {

// The desktop's file associations on a freedesktop system: files and links open through
// QDesktopServices (xdg-open), the default program is found with xdg-mime.
class QtDesktop : public Desktop {
  public:
    bool OpenWithAssociatedProgram(const QString& path) override;
    bool OpenUrl(const QUrl& url) override;
    std::optional<QString> FindDefaultProgram(const QString& path) override;
    std::optional<QString> FindDefaultExec(const QString& path) override;
};

// The program named by the Exec line of a .desktop entry's text: the first word, with
// double quotes grouping and backslash escapes inside them. Nothing when there is no Exec
// line in the [Desktop Entry] group or it names no program.
std::optional<QString> ProgramOfDesktopEntry(const QString& entryText);

}  // namespace quirtle
