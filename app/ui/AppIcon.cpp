#include "ui/AppIcon.h"

#include "ui/Commands.h"

// The images are compiled into this static library; their registration must be asked for.
static void RegisterIconResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)registered;
}

namespace quirtle {

QIcon AppIcon() {
    RegisterIconResources();
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128}) {
        icon.addFile(QStringLiteral(":/icons/quirtle-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QIcon ToolbarIcon(int commandId) {
    const char* name = nullptr;
    switch (commandId) {
        case command::kNew:
            name = "new";
            break;
        case command::kOpen:
            name = "open";
            break;
        case command::kSave:
            name = "save";
            break;
        case command::kCut:
            name = "cut";
            break;
        case command::kCopy:
            name = "copy";
            break;
        case command::kPaste:
            name = "paste";
            break;
        case command::kAbout:
            name = "about";
            break;
        default:
            return {};
    }
    RegisterIconResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/%1-16.png").arg(QLatin1String(name)), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/%1-32.png").arg(QLatin1String(name)), QSize(32, 32));
    return icon;
}

}  // namespace quirtle
