#pragma once

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "editing/MarkupInsertion.h"
#include "preview/PreviewConversion.h"
#include "scripts/ScriptEntry.h"
#include "ui/HelpWindow.h"

class QLabel;
class QSplitter;
class QStackedWidget;
class QToolBar;

namespace quirtle {

class CentringSplitter;
class Desktop;
class DocumentFiles;
class ExportCommand;
class ExternalEditor;
class EditorPane;
class PreviewPane;
class PreviewUpdater;
class Prompts;
class RecoveryManager;
class StatusCounts;

namespace editing {
class FindBar;
class ManuscriptAnalyser;
class MarkupHighlighter;
class OutlinePanel;
struct ManuscriptAnalysis;
}  // namespace editing

namespace vertical {
class VerticalView;
}

// The one top-level window: menus, toolbar, status bar, the editor and preview panes side
// by side, the once-a-second automatic preview and the closing rule.
class MainFrame : public QMainWindow {
    Q_OBJECT
  public:
    // programDirectory ends with '/'; every file the window reads is taken from there.
    MainFrame(Prompts& prompts, Desktop& desktop, QString programDirectory,
              QWidget* parent = nullptr);
    ~MainFrame() override;

    // Builds the window: script list and its menu items, toolbar, status bar, panes, the
    // loaded preview page, the timer. False when the script list could not be loaded (the
    // user has been told); the window must then not be shown.
    bool Create();

    // Carries out a menu, toolbar or accelerator command.
    void RunCommand(int id);
    // The timer's work: one preview when the text changed and automatic preview is on.
    void PreviewTick();
    // Starts a preview of the whole manuscript: the text is read here, and converted and
    // handed to the page in the background. PreviewUpdated follows when the page has it.
    void UpdatePreview();
    // True from UpdatePreview until the page has the preview (or the preview failed).
    bool PreviewInProgress() const;
    // Counts the characters and pages of the text, or of the selection, into the status bar.
    void UpdateCounts();
    // Sets the enabled and checked states of the menu items.
    void UpdateMenuStates();
    // The closing rule's question; true when the window may close.
    bool ConfirmClose();

    // Replaces the converter (tests use this to simulate a failed conversion). The
    // converter runs on the preview's own thread.
    void SetPreviewConverter(PreviewConverter converter);
    // The private folder through which previews reach the page (empty when there is none).
    QString PreviewFolder() const;
    // True while previews go to the page through a file in that folder (a preview whose
    // file cannot be written carries its fragment in its script); false once the page
    // could not read the file, and every preview carries its fragment in its script.
    bool PreviewsThroughFile() const;

    // True while an export script or the external editor runs: the window stays open.
    bool IsBusy() const;
    // The manual's file beside the program.
    static QString ManualFileName();

    // Recovery of unsaved text (kept in `folder`): starts keeping copies and asks about
    // copies of programs that ended without saving; a chosen one is put into the editor.
    void StartRecovery(const QByteArray& folder);
    RecoveryManager* Recovery() const { return recovery.get(); }
    // The system ends the program (SIGTERM, SIGHUP, SIGINT): the recovery copy is written
    // and the window closes without asking, as the closing rule would after いいえ (the
    // copy stays for the next start).
    void EndBySignal();
    // The desktop's session ends. With `mayAsk` the save question is asked as a close
    // asks it (false: the author cancelled, the session should not end); otherwise the
    // recovery copy is written at once.
    bool CommitSession(bool mayAsk);

  signals:
    // The page has taken a preview (after a successful conversion): its element
    // "contents" holds it, or the page has no such element and was left alone.
    void PreviewUpdated();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private slots:
    // One slot per command of the menus, the toolbar and the accelerators.
    void NewDocument();
    void OpenDocument();
    void ImportDocument();
    void SaveDocument();
    void SaveDocumentAs();
    void Exit();
    void Undo();
    void Redo();
    void Cut();
    void Copy();
    void Paste();
    void SelectAll();
    void LaunchExternalEditor();
    void ChooseExternalEditor();
    void ToggleAutoPreview();
    void ShowHelpContents();
    void ShowAbout();
    void Find();
    void FindNext();
    void FindPrevious();
    void Replace();
    void ReplaceAll();
    void ToggleOutline();
    void ZoomIn();
    void ZoomOut();
    void ZoomReset();
    void InsertRuby();
    void InsertEmphasis();
    void ToggleVertical();
    void ToggleManuscriptPaper();
    void ChooseShiftJis();
    void ChooseUtf8();

  private:
    friend class WindowProbe;
    using CommandSlot = void (MainFrame::*)();
    // The command table: every command id with its slot.
    static const QHash<int, CommandSlot>& CommandSlots();

    void UpdateCounts(const std::string& wholeText);
    // Hands the text to the preview's thread; the counts of the whole text come back with
    // the preview when withCounts is set.
    void StartPreview(QString text, bool withCounts);

    void CreateMenus();
    void AddScriptMenuItems();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateAccelerators();
    void MenuClosed();
    // Adds one command's item (or submenu) to a menu.
    void AddMenuItem(QMenu* menu, int id);
    // The status bar's encoding and the encoding menu's check follow the manuscript.
    void ShowEncoding();
    void CreateEditorArea();
    // Hands the text to the analysis behind the outline and the marks of rejected lines.
    void StartAnalysis(const QString& text);
    void ShowAnalysis(const editing::ManuscriptAnalysis& analysis, int revision);
    // True while the key focus is in the preview: zoom then acts on the page.
    bool PreviewHasFocus() const;
    void Zoom(int steps);
    void ShowNote(const QString& text);
    // Whether a key of the edit commands goes to the focused widget (the find bar's
    // fields) instead of the manuscript.
    bool KeyStaysInField(const QWidget* focus, const QKeySequence& key) const;
    bool IsAcceleratorKey(const QKeySequence& key) const;
    // Closes the window now if that was asked for while a command ran.
    void CloseIfRequested();

    Prompts& prompts;
    Desktop& desktop;
    QString programDirectory;
    PreviewConverter previewConverter;
    std::unique_ptr<PreviewUpdater> previewUpdater;
    std::uint64_t countsAsked = 0;  // the preview that counts the current text

    std::vector<ScriptEntry> scripts;
    bool autoPreview = false;
    bool textChanged = false;
    bool countsChanged = true;  // text or selection changed since the counts were taken
    QTimer previewTimer;

    QToolBar* toolBar = nullptr;
    QLabel* readyLabel = nullptr;
    std::unique_ptr<StatusCounts> statusCounts;
    QPointer<HelpWindow> helpWindow;
    QLabel* externalEditLabel = nullptr;
    QLabel* encodingLabel = nullptr;
    bool closeRequested = false;
    bool endingBySignal = false;
    std::unique_ptr<RecoveryManager> recovery;
    CentringSplitter* splitter = nullptr;
    EditorPane* editor = nullptr;
    PreviewPane* preview = nullptr;
    QWidget* editorArea = nullptr;  // the left pane: outline, editor and find bar
    QSplitter* outlineSplitter = nullptr;
    QStackedWidget* editorViews = nullptr;  // the editor, or the vertical view of its text
    vertical::VerticalView* verticalView = nullptr;
    editing::FindBar* findBar = nullptr;
    editing::OutlinePanel* outline = nullptr;
    editing::MarkupHighlighter* highlighter = nullptr;
    editing::ManuscriptAnalyser* analyser = nullptr;
    bool analysisChanged = true;  // the text changed since it was last analysed
    editing::ReadingQuestion readingQuestion;
    std::unique_ptr<DocumentFiles> documents;
    std::unique_ptr<ExportCommand> exporter;
    std::unique_ptr<ExternalEditor> externalEditor;
    QList<QMenu*> menus;
    QHash<int, QAction*> menuActions;
    QHash<int, QAction*> toolbarActions;
    QHash<int, QAction*> acceleratorActions;
    QList<QKeySequence> acceleratorKeys;
};

}  // namespace quirtle
