#pragma once

#include <QStringList>
#include <QUrl>
#include <optional>

#include "platform/Desktop.h"

namespace quirtle::testing {

// Records what the program asks of the desktop instead of starting programs.
class RecordingDesktop : public Desktop {
  public:
    QStringList openedFiles;
    QList<QUrl> openedUrls;
    QStringList programQueries;
    std::optional<QString> defaultProgram;  // the answer to FindDefaultProgram
    std::optional<QString> defaultExec;  // the answer to FindDefaultExec
    QStringList execLookedUp;

    bool OpenWithAssociatedProgram(const QString& path) override {
        openedFiles.append(path);
        return true;
    }
    bool OpenUrl(const QUrl& url) override {
        openedUrls.append(url);
        return true;
    }
    std::optional<QString> FindDefaultProgram(const QString& path) override {
        programQueries.append(path);
        return defaultProgram;
    }
    std::optional<QString> FindDefaultExec(const QString& path) override {
        execLookedUp.append(path);
        return defaultExec;
    }
};

}  // namespace quirtle::testing
