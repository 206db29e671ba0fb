#include "ui/HelpWindow.h"

#include <QGuiApplication>
#include <QScreen>

#include "platform/Desktop.h"
#include "ui/AppIcon.h"

namespace quirtle {

namespace {

constexpr int kPreferredWidth = 760;

}  // namespace

QWebEnginePage* HelpPage::createWindow(WebWindowType) {
    // A link that asks for a new window goes the way of any other link.
    return this;
}

HelpWindow::HelpWindow(Desktop& desktop, QWidget* parent) : QWebEngineView(parent) {
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(QStringLiteral("quirtle ヘルプ"));
    setWindowIcon(AppIcon());
    setPage(new HelpPage(desktop, this));
}

void HelpWindow::ShowManual(const QString& manualPath) {
    manualUrl = QUrl::fromLocalFile(manualPath);
    static_cast<HelpPage*>(page())->SetOwnFile(manualUrl);
    load(manualUrl);
}

void HelpWindow::PlaceBeside(const QWidget& mainWindow) {
    const QRect frame = mainWindow.frameGeometry();
    QRect available = frame;
    if (const QScreen* screen = mainWindow.screen()) available = screen->availableGeometry();
    const int height = qMin(frame.height(), available.height());
    const int roomRight = available.right() - frame.right();
    const int roomLeft = frame.left() - available.left();
    int width = kPreferredWidth;
    int x = 0;
    if (roomRight >= width / 2 || roomRight >= roomLeft) {
        width = qMax(qMin(width, roomRight), width / 2);
        x = qMin(frame.right() + 1, available.right() + 1 - width);
    } else {
        width = qMax(qMin(width, roomLeft), width / 2);
        x = qMax(frame.left() - width, available.left());
    }
    resize(width, height);
    move(x, qMax(frame.top(), available.top()));
}

}  // namespace quirtle
