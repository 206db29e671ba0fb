#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace quirtle {

// The desktop's file associations, behind an interface so that tests can record calls
// instead of starting programs.
class Desktop {
  public:
    virtual ~Desktop() = default;
    // Opens a file with the program the desktop associates with its type; false when
    // nothing could be started.
    virtual bool OpenWithAssociatedProgram(const QString& path) = 0;
    // Opens a link in the system's web browser.
    virtual bool OpenUrl(const QUrl& url) = 0;
    // The program that would open the given file (its executable path), or nothing.
    virtual std::optional<QString> FindDefaultProgram(const QString& path) = 0;
    // The whole Exec value of the desktop entry of that program (with its options and
    // field codes such as %U), or nothing when there is none to be had.
    virtual std::optional<QString> FindDefaultExec(const QString& path) {
        (void)path;
        return std::nullopt;
    }
};

}  // namespace quirtle
