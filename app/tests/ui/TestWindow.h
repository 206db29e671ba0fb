#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>

#include "ProgramFolder.h"
#include "preview/PreviewPane.h"
#include "support/RecordingDesktop.h"
#include "support/ScriptedPrompts.h"
#include "ui/MainFrame.h"
#include "preview/PreviewPane.h"
#include "ui/WindowProbe.h"

namespace quirtle::testing {

// One main window with its own program folder, scripted prompts and recording desktop.
struct TestWindow {
    explicit TestWindow(const QByteArray& scriptList = QByteArray()) : folder(scriptList) {}

    bool Create() {
        frame = std::make_unique<MainFrame>(prompts, desktop, folder.Path());
        return frame->Create();
    }
    QVariant Evaluate(const QString& script) const {
        return testing::Evaluate(Probe().Preview().page(), script);
    }
    WindowProbe Probe() const { return WindowProbe(*frame); }
    QString ContentsHtml() const {
        return Evaluate(QStringLiteral("document.getElementById('contents').innerHTML")).toString();
    }

    ProgramFolder folder;
    ScriptedPrompts prompts;
    RecordingDesktop desktop;
    std::unique_ptr<MainFrame> frame;
};

}  // namespace quirtle::testing
