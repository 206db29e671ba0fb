#pragma once

class QPlainTextEdit;

namespace quirtle {

class PreviewUpdater;

// Ties the preview to the editor: the preview keeps the block at the editor's cursor in
// view, and a double-click on a block of the preview puts the cursor at the start of the
// block's manuscript line and gives the editor the focus.
void ConnectPreviewToEditor(QPlainTextEdit& editor, PreviewUpdater& updater);

}  // namespace quirtle
