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

    bool OpenWithAssociatedProgram(const QString& path) override {
        opened.append(path);
        return true;
    }
    bool OpenUrl(const QUrl&) override { return true; }
    std::optional<QString> FindDefaultProgram(const QString& path) override {
        lookedUp.append(path);
        return defaultProgram;
    }
};

}  // namespace quirtle::testing
