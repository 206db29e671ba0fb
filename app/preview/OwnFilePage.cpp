#include "preview/OwnFilePage.h"

#include "platform/Desktop.h"

namespace quirtle {

OwnFilePage::OwnFilePage(Desktop& desktop, QObject* parent)
    : QWebEnginePage(parent), desktop(desktop) {}

bool OwnFilePage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (!isMainFrame || ownFile.isEmpty()) return true;
    if (url.adjusted(QUrl::RemoveFragment) == ownFile.adjusted(QUrl::RemoveFragment)) return true;
    // The program's own load of the page; everything else leaves the page.
    if (type == NavigationTypeTyped) return true;
    desktop.OpenUrl(url);
    return false;
}

}  // namespace quirtle
