#pragma once

#include <vector>

#include "ui/MainFrame.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;

namespace quirtle {

// A look into the main window for tests and benchmarks: its panes, the parts of its bars
// and its state, without a public getter on the window for each of them.
class WindowProbe {
  public:
    explicit WindowProbe(MainFrame& frame) : frame(frame) {}

    EditorPane& Editor() const { return *frame.editor; }
    PreviewPane& Preview() const { return *frame.preview; }
    CentringSplitter& Splitter() const { return *frame.splitter; }
    DocumentFiles& Documents() const { return *frame.documents; }
    ExternalEditor& OtherEditor() const { return *frame.externalEditor; }
    StatusCounts& Counts() const { return *frame.statusCounts; }
    QTimer& PreviewTimer() const { return frame.previewTimer; }
    const std::vector<ScriptEntry>& Scripts() const { return frame.scripts; }
    const QString& ProgramDirectory() const { return frame.programDirectory; }
    bool AutoPreview() const { return frame.autoPreview; }
    bool TextChanged() const { return frame.textChanged; }

    // The menu item, toolbar button or accelerator of a command (nullptr when absent).
    QAction* MenuAction(int id) const { return frame.menuActions.value(id); }
    QAction* ToolbarAction(int id) const { return frame.toolbarActions.value(id); }
    QAction* AcceleratorAction(int id) const { return frame.acceleratorActions.value(id); }
    QToolBar* ToolBar() const { return frame.toolBar; }
    QLabel* ReadyLabel() const { return frame.readyLabel; }
    // The status bar's note that an external edit is in progress.
    QLabel* ExternalEditLabel() const { return frame.externalEditLabel; }
    // The status bar's encoding of the manuscript.
    QLabel* EncodingLabel() const { return frame.encodingLabel; }
    // The manual's window once the help command has opened it.
    HelpWindow* Help() const { return frame.helpWindow; }

    // The editor's own features.
    editing::FindBar& FindBar() const { return *frame.findBar; }
    editing::OutlinePanel& Outline() const { return *frame.outline; }
    editing::MarkupHighlighter& Highlighter() const { return *frame.highlighter; }
    vertical::VerticalView& Vertical() const { return *frame.verticalView; }
    // Answers the ruby command's question for the reading instead of a dialog.
    void SetReadingQuestion(editing::ReadingQuestion question) const {
        frame.readingQuestion = std::move(question);
    }

  private:
    MainFrame& frame;
};

}  // namespace quirtle
