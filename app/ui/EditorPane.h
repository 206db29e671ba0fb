#pragma once

#include <QPlainTextEdit>
#include <functional>
#include <string>
#include <string_view>

#include "base/ManuscriptEditor.h"

namespace quirtle {

// The manuscript editor: plain text only, multi-level undo, long lines wrapping at the
// right edge, the selection kept visible while another pane has the focus. It is the only
// holder of the manuscript text and of its unsaved-changes flag.
class EditorPane : public QPlainTextEdit, public ManuscriptEditor {
    Q_OBJECT
  public:
    explicit EditorPane(QWidget* parent = nullptr);

    // ManuscriptEditor
    bool IsModified() const override;
    void SetModified(bool modified) override;
    void EmptyUndoBuffer() override;
    QString Text() const override;
    void ReplaceText(const QString& text) override;

    // The rest of the operations the main window relies on.
    bool CanUndo() const;
    bool CanRedo() const;
    bool CanPaste() const;
    bool HasSelection() const;

    // The whole text as Shift_JIS bytes with CR LF line breaks, as the converter reads it.
    // Characters Shift_JIS cannot hold come out as '?'.
    std::string TextBytes() const;
    // The selected text in the same form.
    std::string SelectionBytes() const;
    // Replaces the whole text by Shift_JIS bytes (CR LF, CR or LF line breaks); false, with
    // nothing changed, when the bytes are not valid Shift_JIS.
    bool SetTextBytes(std::string_view bytes);

    // The pane's font: "ＭＳ ゴシック" 10 pt, falling back to an installed Japanese
    // monospace font.
    static QFont EditorFont();

    // Zoom: the font one step larger or smaller (within kSmallestPoints to kLargestPoints),
    // or back to its size at the start. Ctrl and the mouse wheel zoom too.
    void ZoomIn();
    void ZoomOut();
    void ZoomReset();
    int PointSize() const;
    static constexpr int kSmallestPoints = 6;
    static constexpr int kLargestPoints = 48;

    // The tooltip of a line (by its index), e.g. why the converter rejected it; empty for none.
    void SetLineToolTip(std::function<QString(int line)> tip) { lineToolTip = std::move(tip); }

  protected:
    void wheelEvent(QWheelEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    // A manuscript has no breaks inside a line (the saved file makes every break a line
    // break): Shift+Enter breaks the line as Enter does, and pasted line separators are
    // line breaks.
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

  private:
    void SetPointSize(int points);
    std::function<QString(int line)> lineToolTip;
    bool composing = false;  // the input method shows text being composed
};

}  // namespace quirtle
