#pragma once

#include <QIcon>

namespace quirtle {

// The application's icon (window, About box, desktop entry).
QIcon AppIcon();
// Toolbar images by command id; a null icon for a command without an image.
QIcon ToolbarIcon(int commandId);

}  // namespace quirtle
