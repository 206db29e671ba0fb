// quirtle: the manuscript editor. File names on the command line are not opened; the
// editor always starts with an empty, untitled manuscript.
#include <QApplication>

#include "platform/QtDesktop.h"
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
    return QApplication::exec();
}
