#pragma once

#include <QStringList>
#include <optional>

#include "platform/Desktop.h"

namespace quirtle::testing {

// Records what the program asks of the desktop instead of starting programs.
class RecordingDesktop : public Desktop {
  public:
    QStringList opened;
    QStringList lookedUp;
    std::optional<QString> defaultProgram;  // the answer of FindDefaultProgram
    std::optional<QString> defaultExec;     // the answer of FindDefaultExec
    QStringList execLookedUp;

    bool OpenWithAssociatedProgram(const QString& path) override {
        opened.append(path);
        return true;
    }
    bool OpenUrl(const QUrl&) override { return true; }
    std::optional<QString> FindDefaultProgram(const QString& path) override {
        lookedUp.append(path);
        return defaultProgram;
    }
    std::optional<QString> FindDefaultExec(const QString& path) override {
        execLookedUp.append(path);
        return defaultExec;
    }
};

}  // namespace quirtle::testing
