// quirtle: the manuscript editor. File names on the command line are not opened; the
// editor always starts with an empty, untitled manuscript.
#include <QApplication>
#include <QSessionManager>

#include "platform/QtDesktop.h"
#include "platform/TerminationSignals.h"
#include "recovery/RecoveryManager.h"
#include "ui/AppIcon.h"
#include "ui/JapaneseTexts.h"
#include "ui/MainFrame.h"
#include "ui/ProgramStart.h"
#include "ui/QtPrompts.h"

int main(int argc, char* argv[]) {
    quirtle::PrepareWebEngine();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quirtle"));
    QApplication::setApplicationVersion(QStringLiteral(QUIRTLE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quirtle"));
    QApplication::setWindowIcon(quirtle::AppIcon());
    quirtle::InstallJapaneseTexts(application);

    quirtle::QtPrompts prompts;
    quirtle::QtDesktop desktop;
    quirtle::MainFrame frame(prompts, desktop, quirtle::ProgramDirectory());
    if (!frame.Create()) return 0;
    frame.show();

    // The author's text outlives a program ended by the system or by the session.
    quirtle::TerminationSignals termination;
    termination.Install();
    QObject::connect(&termination, &quirtle::TerminationSignals::Received, &frame, [&frame] {
        frame.EndBySignal();
        // Also ends a question or dialog that has its own event loop.
        QCoreApplication::quit();
    });
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &frame,
                     [&frame](QSessionManager& session) {
                         if (!frame.CommitSession(session.allowsInteraction())) session.cancel();
                         session.release();
                     });
    frame.StartRecovery(quirtle::RecoveryFolder());
    return QApplication::exec();
}
