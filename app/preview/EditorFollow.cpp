#include "preview/EditorFollow.h"

#include <QPlainTextEdit>
#include <QTextBlock>

#include "preview/PreviewUpdater.h"

namespace quirtle {

void ConnectPreviewToEditor(QPlainTextEdit& editor, PreviewUpdater& updater) {
    QObject::connect(
        &editor, &QPlainTextEdit::cursorPositionChanged, &updater,
        [&editor, &updater] { updater.FollowLine(editor.textCursor().blockNumber()); });
    QObject::connect(&updater, &PreviewUpdater::LineChosen, &editor, [&editor](int line) {
        const QTextBlock block = editor.document()->findBlockByNumber(line);
        if (!block.isValid()) return;
        QTextCursor cursor(block);
        editor.setTextCursor(cursor);
        editor.centerCursor();
        editor.setFocus(Qt::MouseFocusReason);
    });
}

}  // namespace quirtle
