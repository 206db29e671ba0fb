#include "ui/MainFrame.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTextDocument>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <string>

#include "base/Prompts.h"
#include "counts/TextCounts.h"
#include "documents/DocumentFiles.h"
#include "editing/FindBar.h"
#include "editing/ManuscriptAnalyser.h"
#include "editing/MarkupHighlighter.h"
#include "editing/OutlinePanel.h"
#include "export/ExportCommand.h"
#include "export/ExternalEditor.h"
#include "platform/Desktop.h"
#include "preview/EditorFollow.h"
#include "preview/PreviewPane.h"
#include "preview/PreviewUpdater.h"
#include "recovery/RecoveryManager.h"
#include "scripts/ScriptList.h"
#include "text/ShiftJis.h"
#include "ui/AboutBox.h"
#include "ui/AppIcon.h"
#include "ui/CentringSplitter.h"
#include "ui/Commands.h"
#include "ui/EditorPane.h"
#include "ui/HelpWindow.h"
#include "ui/StatusCounts.h"
#include "vertical/VerticalView.h"

namespace quirtle {

namespace {

constexpr int kPreviewPeriodMs = 1000;
constexpr int kPageLoadLimitMs = 10000;

QString ExternalEditText() {
    return QStringLiteral("外部エディタで編集中 (保存すると反映されます)");
}

QString DecodeLabel(const std::string& bytes) {
    if (auto decoded = text::DecodeShiftJis(bytes)) return *decoded;
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

MainFrame::MainFrame(Prompts& prompts, Desktop& desktop, QString programDirectory, QWidget* parent)
    : QMainWindow(parent),
      prompts(prompts),
      desktop(desktop),
      programDirectory(std::move(programDirectory)),
      previewConverter(&ConvertForPreview) {
    setWindowTitle(QStringLiteral("quirtle"));
    setWindowIcon(AppIcon());
    previewTimer.setInterval(kPreviewPeriodMs);
    connect(&previewTimer, &QTimer::timeout, this, &MainFrame::PreviewTick);
}

MainFrame::~MainFrame() {
    previewTimer.stop();
    recovery.reset();  // a copy being written is finished first
    // A preview still being made ends before the window goes.
    previewUpdater.reset();
    qApp->removeEventFilter(this);
    delete helpWindow;
}

QString MainFrame::ManualFileName() {
    return QStringLiteral("manual.html");
}

bool MainFrame::Create() {
    if (LoadScripts(QFile::encodeName(programDirectory).toStdString(), scripts) < 0) {
        prompts.ShowMessage(this, QStringLiteral("Failed to load script.cfg"),
                            QStringLiteral("Error"), MessageButtons::Ok, MessageIcon::None);
        return false;
    }
    CreateMenus();
    AddScriptMenuItems();
    CreateToolBar();
    CreateStatusBar();
    CreateAccelerators();

    splitter = new CentringSplitter(this);
    editor = new EditorPane(splitter);
    CreateEditorArea();
    documents = std::make_unique<DocumentFiles>(*editor, prompts, this);
    documents->SetEncodingObserver([this] { ShowEncoding(); });
    ShowEncoding();
    preview = new PreviewPane(desktop, splitter);
    preview->ShowPage(programDirectory + QStringLiteral("index.html"));
    preview->WaitForPreviewPage(kPageLoadLimitMs);
    previewUpdater = std::make_unique<PreviewUpdater>(
        *preview, [this] { return IsBusy(); }, [this] { return editor->Text(); });
    previewUpdater->SetConverter(previewConverter);
    connect(previewUpdater.get(), &PreviewUpdater::Updated, this, &MainFrame::PreviewUpdated);
    connect(previewUpdater.get(), &PreviewUpdater::CountsMade, this,
            [this](std::uint64_t number, const counts::TextCounts& counts) {
                // Counts belong to the text they were taken of: shown only when nothing has
                // changed since (otherwise the next tick counts again).
                if (number != countsAsked || countsChanged) return;
                statusCounts->Show(counts, false);
                countsAsked = 0;
            });
    // The preview follows the editor's cursor and takes the cursor to a double-clicked
    // block; a page loaded again after its render process ended says so once.
    ConnectPreviewToEditor(*editor, *previewUpdater);
    connect(previewUpdater.get(), &PreviewUpdater::Recovered, this,
            [this] { statusBar()->showMessage(PreviewUpdater::RecoveredMessage(), 10000); });
    splitter->SetPanes(editorArea, preview);
    setCentralWidget(splitter);

    // A default size on the screen, then the bar at half the client width.
    QSize size(1024, 720);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        size = size.boundedTo(screen->availableSize() * 9 / 10);
    }
    resize(size);
    if (layout()) layout()->activate();
    splitter->SetBarPosition(width() / 2);

    exporter = std::make_unique<ExportCommand>(
        *editor, prompts, desktop, this, scripts, [this] { return documents->documentPath(); },
        programDirectory);
    externalEditor =
        std::make_unique<ExternalEditor>(*editor, prompts, desktop, this, programDirectory);

    previewTimer.start();
    textChanged = false;
    externalEditor->LoadEditorSetting();
    connect(editor, &QPlainTextEdit::textChanged, this, [this] {
        textChanged = true;
        countsChanged = true;
        analysisChanged = true;
        externalEditor->NotePaneEdited();
    });
    connect(editor, &QPlainTextEdit::selectionChanged, this, [this] { countsChanged = true; });
    externalEditor->SetWatchingChanged(
        [this](bool watching) { externalEditLabel->setVisible(watching); });
    UpdateCounts();

    autoPreview = true;
    UpdateMenuStates();

    // The key focus waits in the splitter until the user clicks into a pane.
    splitter->setFocus();
    qApp->installEventFilter(this);
    return true;
}

void MainFrame::CreateMenus() {
    for (const MenuLayout& layout : MenuBarLayout()) {
        QMenu* menu = menuBar()->addMenu(layout.title);
        menus.append(menu);
        for (const int id : layout.items) AddMenuItem(menu, id);
        connect(menu, &QMenu::aboutToShow, this, &MainFrame::UpdateMenuStates);
        // While a menu is open the status bar shows only the highlighted item's prompt,
        // an empty one included.
        connect(menu, &QMenu::aboutToShow, this, [this] { readyLabel->hide(); });
        connect(menu, &QMenu::aboutToHide, this, &MainFrame::MenuClosed, Qt::QueuedConnection);
    }
    // The separator after プレビュー stays visible when no script follows it.
    menus.value(kExportMenuIndex)->setSeparatorsCollapsible(false);
}

void MainFrame::AddMenuItem(QMenu* menu, int id) {
    if (id == command::kSeparator) {
        menu->addSeparator();
        return;
    }
    const CommandInfo* info = FindCommand(id);
    if (!info->submenu.isEmpty()) {
        QMenu* submenu = menu->addMenu(MenuItemText(*info));
        auto* radio = new QActionGroup(submenu);
        for (const int item : info->submenu) {
            AddMenuItem(submenu, item);
            if (QAction* action = menuActions.value(item); action && action->isCheckable())
                radio->addAction(action);
        }
        return;
    }
    QAction* action = menu->addAction(MenuItemText(*info));
    action->setStatusTip(CommandPrompt(id));
    action->setData(id);
    action->setCheckable(info->checkable);
    connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
    menuActions.insert(id, action);
}

void MainFrame::MenuClosed() {
    for (const QMenu* menu : std::as_const(menus)) {
        if (menu->isVisible()) return;
    }
    statusBar()->clearMessage();
    readyLabel->show();
}

void MainFrame::AddScriptMenuItems() {
    QMenu* exportMenu = menus.value(kExportMenuIndex);
    for (const ScriptEntry& entry : scripts) {
        const int id = entry.commandId;
        QAction* action = exportMenu->addAction(DecodeLabel(entry.label));
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        menuActions.insert(id, action);
    }
}

void MainFrame::CreateToolBar() {
    toolBar = addToolBar(QStringLiteral("Toolbar"));
    toolBar->setObjectName(QStringLiteral("toolbar"));
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setIconSize(QSize(16, 16));
    toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    toolBar->toggleViewAction()->setVisible(false);
    for (const int id : ToolbarLayout()) {
        if (id == command::kSeparator) {
            toolBar->addSeparator();
            continue;
        }
        // A button has a tooltip only; the status bar prompts belong to the menu items.
        QAction* action = toolBar->addAction(ToolbarIcon(id), CommandTooltip(id));
        action->setToolTip(CommandTooltip(id));
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        toolbarActions.insert(id, action);
    }
}

void MainFrame::CreateStatusBar() {
    readyLabel = new QLabel(ReadyText(), this);
    statusBar()->addWidget(readyLabel, 1);
    // Shown while a file handed to an external editor is watched for saves.
    externalEditLabel = new QLabel(ExternalEditText(), this);
    externalEditLabel->setVisible(false);
    statusBar()->addPermanentWidget(externalEditLabel);
    // The manuscript's encoding (Shift_JIS / UTF-8), left of the counts.
    encodingLabel = new QLabel(this);
    encodingLabel->setObjectName(QStringLiteral("encoding"));
    statusBar()->addPermanentWidget(encodingLabel);
    statusCounts = std::make_unique<StatusCounts>(statusBar());
    statusBar()->setSizeGripEnabled(true);
}

void MainFrame::CreateAccelerators() {
    auto addAccelerator = [this](int id, const QList<QKeySequence>& keys) {
        auto* action = new QAction(this);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        addAction(action);
        acceleratorActions.insert(id, action);
        acceleratorKeys += keys;
    };
    for (const CommandInfo& info : MenuCommands()) {
        if (!info.keys.isEmpty()) addAccelerator(info.id, info.keys);
    }
    for (const ExtraAccelerator& extra : ExtraAccelerators()) addAccelerator(extra.id, {extra.key});
}

const QHash<int, MainFrame::CommandSlot>& MainFrame::CommandSlots() {
    static const QHash<int, CommandSlot> table = {
        {command::kNew, &MainFrame::NewDocument},
        {command::kOpen, &MainFrame::OpenDocument},
        {command::kImport, &MainFrame::ImportDocument},
        {command::kSave, &MainFrame::SaveDocument},
        {command::kSaveAs, &MainFrame::SaveDocumentAs},
        {command::kExit, &MainFrame::Exit},
        {command::kUndo, &MainFrame::Undo},
        {command::kRedo, &MainFrame::Redo},
        {command::kCut, &MainFrame::Cut},
        {command::kCopy, &MainFrame::Copy},
        {command::kPaste, &MainFrame::Paste},
        {command::kSelectAll, &MainFrame::SelectAll},
        {command::kLaunchExternalEditor, &MainFrame::LaunchExternalEditor},
        {command::kChooseExternalEditor, &MainFrame::ChooseExternalEditor},
        {command::kPreview, &MainFrame::UpdatePreview},
        {command::kAutoPreview, &MainFrame::ToggleAutoPreview},
        {command::kHelpContents, &MainFrame::ShowHelpContents},
        {command::kAbout, &MainFrame::ShowAbout},
        {command::kFind, &MainFrame::Find},
        {command::kFindNext, &MainFrame::FindNext},
        {command::kFindPrevious, &MainFrame::FindPrevious},
        {command::kReplace, &MainFrame::Replace},
        {command::kReplaceAll, &MainFrame::ReplaceAll},
        {command::kOutline, &MainFrame::ToggleOutline},
        {command::kZoomIn, &MainFrame::ZoomIn},
        {command::kZoomOut, &MainFrame::ZoomOut},
        {command::kZoomReset, &MainFrame::ZoomReset},
        {command::kRuby, &MainFrame::InsertRuby},
        {command::kEmphasis, &MainFrame::InsertEmphasis},
        {command::kVertical, &MainFrame::ToggleVertical},
        {command::kManuscriptPaper, &MainFrame::ToggleManuscriptPaper},
        {command::kEncodingShiftJis, &MainFrame::ChooseShiftJis},
        {command::kEncodingUtf8, &MainFrame::ChooseUtf8},
    };
    return table;
}

void MainFrame::RunCommand(int id) {
    if (const CommandSlot slot = CommandSlots().value(id)) {
        (this->*slot)();
        return;
    }
    // Script items, and the accelerators without an item of their own: the export command
    // acts only on the ids of its scripts.
    exporter->RunExport(id);
    CloseIfRequested();
}

void MainFrame::NewDocument() {
    documents->NewDocument();
}

void MainFrame::OpenDocument() {
    documents->OpenDocument();
}

void MainFrame::ImportDocument() {
    documents->ImportDocument();
}

void MainFrame::SaveDocument() {
    documents->SaveDocument();
}

void MainFrame::SaveDocumentAs() {
    documents->SaveDocumentAs();
}

void MainFrame::ChooseShiftJis() {
    documents->SetEncoding(ManuscriptEncoding::ShiftJis);
    ShowEncoding();
}

void MainFrame::ChooseUtf8() {
    documents->SetEncoding(ManuscriptEncoding::Utf8);
    ShowEncoding();
}

void MainFrame::ShowEncoding() {
    const bool utf8 = documents->encoding() == ManuscriptEncoding::Utf8;
    encodingLabel->setText(utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Shift_JIS"));
    if (QAction* item = menuActions.value(command::kEncodingShiftJis)) item->setChecked(!utf8);
    if (QAction* item = menuActions.value(command::kEncodingUtf8)) item->setChecked(utf8);
}

void MainFrame::Exit() {
    close();
}

void MainFrame::Undo() {
    if (editor->CanUndo()) editor->undo();
}

void MainFrame::Redo() {
    if (editor->CanRedo()) editor->redo();
}

void MainFrame::Cut() {
    editor->cut();
}

void MainFrame::Copy() {
    editor->copy();
}

void MainFrame::Paste() {
    editor->paste();
}

void MainFrame::SelectAll() {
    editor->selectAll();
}

void MainFrame::LaunchExternalEditor() {
    externalEditor->LaunchExternalEditor();
    CloseIfRequested();
}

void MainFrame::ChooseExternalEditor() {
    externalEditor->ChooseExternalEditor();
}

void MainFrame::ToggleAutoPreview() {
    autoPreview = !autoPreview;
    UpdateMenuStates();
}

void MainFrame::CloseIfRequested() {
    if (!closeRequested || IsBusy()) return;
    closeRequested = false;
    close();
}

void MainFrame::PreviewTick() {
    // While a script or the external editor runs the window only repaints.
    if (IsBusy()) return;
    previewUpdater->ShowHeld();
    // The text is read once for the preview and the analysis of the outline and marks.
    QString text;
    bool countsTaken = false;
    if (textChanged && autoPreview) {
        text = editor->Text();
        // The counts of the whole text come with the preview, from the same bytes.
        countsTaken = countsChanged && !editor->HasSelection();
        StartPreview(text, countsTaken);
        textChanged = false;
    }
    if (analysisChanged) {
        if (text.isNull()) text = editor->Text();
        StartAnalysis(text);
    }
    if (countsChanged && !countsTaken) UpdateCounts();
}

void MainFrame::StartAnalysis(const QString& text) {
    analysisChanged = false;
    analyser->Start(text, editor->document()->revision());
}

void MainFrame::ShowAnalysis(const editing::ManuscriptAnalysis& analysis, int revision) {
    // An analysis of a text edited since is followed by a newer one.
    if (revision != editor->document()->revision()) return;
    highlighter->ApplyRejections(analysis.rejections, revision);
    outline->SetHeadings(analysis.headings);
}

void MainFrame::CreateEditorArea() {
    editorArea = new QWidget(splitter);
    auto* column = new QVBoxLayout(editorArea);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    outlineSplitter = new QSplitter(Qt::Horizontal, editorArea);
    outlineSplitter->setChildrenCollapsible(false);
    outline = new editing::OutlinePanel(*editor, outlineSplitter);
    outline->hide();
    outlineSplitter->addWidget(outline);
    // The editor and the vertical view of the same document share one place.
    editorViews = new QStackedWidget(outlineSplitter);
    editorViews->addWidget(editor);
    verticalView = new vertical::VerticalView(*editor, editorViews);
    editorViews->addWidget(verticalView);
    editorViews->setCurrentWidget(editor);
    outlineSplitter->addWidget(editorViews);
    outlineSplitter->setStretchFactor(1, 1);
    outlineSplitter->setSizes({180, 400});
    column->addWidget(outlineSplitter, 1);
    findBar = new editing::FindBar(*editor, editorArea);
    column->addWidget(findBar);
    connect(findBar, &editing::FindBar::Notice, this, &MainFrame::ShowNote);
    editorArea->setFocusProxy(editor);

    highlighter = new editing::MarkupHighlighter(editor->document());
    const auto lineToolTip = [this](int line) {
        const int32_t status = highlighter->Rejection(line);
        return status < 0 ? editing::RejectionReason(status) : QString();
    };
    editor->SetLineToolTip(lineToolTip);
    verticalView->SetLineToolTip(lineToolTip);
    verticalView->SetZoom([this](int steps) {
        for (; steps > 0; --steps) editor->ZoomIn();
        for (; steps < 0; ++steps) editor->ZoomOut();
    });
    analyser = new editing::ManuscriptAnalyser(this);
    connect(analyser, &editing::ManuscriptAnalyser::Analysed, this, &MainFrame::ShowAnalysis);
    readingQuestion = [this](const QString& base) -> std::optional<QString> {
        bool ok = false;
        const QString reading = QInputDialog::getText(this, QStringLiteral("ルビ"),
                                                      QStringLiteral("「%1」の読み:").arg(base),
                                                      QLineEdit::Normal, QString(), &ok);
        if (!ok) return std::nullopt;
        return reading;
    };
}

void MainFrame::ShowNote(const QString& text) {
    statusBar()->showMessage(text, 5000);
}

void MainFrame::Find() {
    findBar->Open(false);
}

void MainFrame::Replace() {
    findBar->Open(true);
}

void MainFrame::FindNext() {
    if (!findBar->isVisible() || findBar->FindField().text().isEmpty()) {
        findBar->Open(false);
        return;
    }
    findBar->FindNext();
}

void MainFrame::FindPrevious() {
    if (!findBar->isVisible() || findBar->FindField().text().isEmpty()) {
        findBar->Open(false);
        return;
    }
    findBar->FindPrevious();
}

void MainFrame::ReplaceAll() {
    if (!findBar->isVisible() || !findBar->ReplaceShown()) {
        findBar->Open(true);
        return;
    }
    findBar->ReplaceAll();
}

void MainFrame::ToggleOutline() {
    outline->setVisible(!outline->isVisible());
    if (outline->isVisible() && outline->Headings().empty()) StartAnalysis(editor->Text());
    UpdateMenuStates();
}

bool MainFrame::PreviewHasFocus() const {
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == preview || preview->isAncestorOf(focus));
}

void MainFrame::Zoom(int steps) {
    if (PreviewHasFocus()) {
        constexpr double kStep = 0.1;
        const double factor = steps == 0 ? 1.0 : preview->zoomFactor() + steps * kStep;
        preview->setZoomFactor(std::clamp(factor, 0.25, 5.0));
        return;
    }
    if (steps > 0) editor->ZoomIn();
    if (steps < 0) editor->ZoomOut();
    if (steps == 0) editor->ZoomReset();
}

void MainFrame::ZoomIn() {
    Zoom(1);
}

void MainFrame::ZoomOut() {
    Zoom(-1);
}

void MainFrame::ZoomReset() {
    Zoom(0);
}

void MainFrame::InsertRuby() {
    if (editing::InsertRuby(*editor, readingQuestion) == editing::InsertionResult::SeveralLines) {
        ShowNote(QStringLiteral("ルビは一行の中の文字を選んで付けてください"));
    }
}

void MainFrame::InsertEmphasis() {
    editing::InsertEmphasis(*editor);
}

void MainFrame::ToggleVertical() {
    const bool on = editorViews->currentWidget() == editor;
    const QWidget* focus = QApplication::focusWidget();
    const bool focused = focus == editor || focus == verticalView;
    if (on) {
        editorViews->setCurrentWidget(verticalView);
        verticalView->SetActive(true);
    } else {
        editorViews->setCurrentWidget(editor);
        verticalView->SetActive(false);
        editor->ensureCursorVisible();
    }
    // Whoever gives the editor the key focus (the find bar, the outline, the preview)
    // gives it to the view shown.
    QWidget* shown = on ? static_cast<QWidget*>(verticalView) : editor;
    editor->setFocusProxy(on ? verticalView : nullptr);
    editorArea->setFocusProxy(shown);
    if (focused) shown->setFocus();
    UpdateMenuStates();
}

void MainFrame::ToggleManuscriptPaper() {
    verticalView->SetManuscriptPaper(!verticalView->ManuscriptPaper());
    UpdateMenuStates();
}

void MainFrame::UpdateCounts() {
    if (editor->HasSelection()) {
        countsChanged = false;
        if (const auto counts =
                counts::CountManuscript(editor->SelectionBytes(), TextEncoding::Utf8))
            statusCounts->Show(*counts, true);
        return;
    }
    UpdateCounts(editor->TextBytes());
}

void MainFrame::UpdateCounts(const std::string& wholeText) {
    countsChanged = false;
    countsAsked = 0;
    if (const auto counts = counts::CountManuscript(wholeText, TextEncoding::Utf8))
        statusCounts->Show(*counts, false);
}

void MainFrame::UpdatePreview() {
    StartPreview(editor->Text(), false);
}

bool MainFrame::PreviewInProgress() const {
    return previewUpdater && previewUpdater->InProgress();
}

QString MainFrame::PreviewFolder() const {
    return previewUpdater ? previewUpdater->Folder() : QString();
}

bool MainFrame::PreviewsThroughFile() const {
    return previewUpdater && previewUpdater->ThroughFile();
}

void MainFrame::StartPreview(QString text, bool withCounts) {
    const std::uint64_t number = previewUpdater->Start(std::move(text), withCounts);
    if (withCounts) {
        countsAsked = number;
        countsChanged = false;
    }
}

void MainFrame::UpdateMenuStates() {
    if (QAction* item = menuActions.value(command::kAutoPreview)) item->setChecked(autoPreview);
    if (QAction* item = menuActions.value(command::kOutline); item && outline)
        item->setChecked(outline->isVisible());
    if (!editor || !verticalView) return;
    const bool vertical = editorViews->currentWidget() == verticalView;
    menuActions.value(command::kVertical)->setChecked(vertical);
    menuActions.value(command::kManuscriptPaper)->setChecked(verticalView->ManuscriptPaper());
    menuActions.value(command::kManuscriptPaper)->setEnabled(vertical);
    const bool selection = editor->HasSelection();
    menuActions.value(command::kCut)->setEnabled(selection);
    menuActions.value(command::kCopy)->setEnabled(selection);
    menuActions.value(command::kUndo)->setEnabled(editor->CanUndo());
    menuActions.value(command::kRedo)->setEnabled(editor->CanRedo());
    menuActions.value(command::kPaste)->setEnabled(editor->CanPaste());
}

bool MainFrame::ConfirmClose() {
    return !documents || documents->ConfirmClose();
}

bool MainFrame::IsBusy() const {
    return (exporter && exporter->busy()) || (externalEditor && externalEditor->busy());
}

void MainFrame::SetPreviewConverter(PreviewConverter converter) {
    previewConverter = std::move(converter);
    if (previewUpdater) previewUpdater->SetConverter(previewConverter);
}

void MainFrame::closeEvent(QCloseEvent* event) {
    if (endingBySignal) {
        // Ended by the system: the copy is on disk and stays for the next start.
        previewTimer.stop();
        if (helpWindow) helpWindow->close();
        event->accept();
        return;
    }
    if (IsBusy()) {
        // Carried out, with the closing rule, as soon as the running command ends.
        closeRequested = true;
        event->ignore();
        return;
    }
    if (!ConfirmClose()) {
        event->ignore();
        return;
    }
    previewTimer.stop();
    if (helpWindow) helpWindow->close();
    // A normal end: saved, or the author chose not to save.
    if (recovery) recovery->EndNormally();
    event->accept();
}

void MainFrame::StartRecovery(const QByteArray& folder) {
    if (recovery) return;
    recovery = std::make_unique<RecoveryManager>(folder, *editor,
                                                 [this] { return documents->documentPath(); });
    if (!recovery->Start()) {
        statusBar()->showMessage(recovery->ErrorText());
        return;
    }
    connect(recovery.get(), &RecoveryManager::CopyFailed, this,
            [this](const QString& message) { statusBar()->showMessage(message); });
    if (const auto restored = recovery->OfferRestore(prompts, this))
        documents->RestoreUnsaved(restored->manuscriptPath, restored->text);
    connect(editor, &QPlainTextEdit::textChanged, recovery.get(),
            &RecoveryManager::NoteTextChanged);
    connect(editor->document(), &QTextDocument::modificationChanged, recovery.get(),
            &RecoveryManager::NoteModifiedChanged);
    // A restored text is written again under this program's entry.
    if (editor->IsModified()) recovery->NoteTextChanged();
}

void MainFrame::EndBySignal() {
    if (recovery) recovery->KeepNow();
    endingBySignal = true;
    close();
}

bool MainFrame::CommitSession(bool mayAsk) {
    if (!mayAsk || IsBusy()) {
        if (recovery) recovery->KeepNow();
        return true;
    }
    if (!ConfirmClose()) return false;
    // Saved, or the author chose not to save: nothing is kept (until the next change, in
    // case the session does not end after all).
    if (recovery) recovery->Discard();
    return true;
}

bool MainFrame::eventFilter(QObject* watched, QEvent* event) {
    // The accelerators belong to the whole window: a pane that would take one of their
    // keys for itself (the browser's Ctrl+C, the editor's Ctrl+E) must not override them.
    if (event->type() == QEvent::ShortcutOverride && QApplication::activeWindow() == this) {
        const auto* widget = qobject_cast<QWidget*>(watched);
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence sequence(key->keyCombination());
        if ((!widget || widget->window() == this) && IsAcceleratorKey(sequence)) {
            // Accepting the override hands the key to the field itself.
            event->setAccepted(KeyStaysInField(QApplication::focusWidget(), sequence));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool MainFrame::KeyStaysInField(const QWidget* focus, const QKeySequence& key) const {
    // In the find bar's fields the edit keys edit the field: the author types, pastes and
    // undoes the search text there.
    const auto* field = qobject_cast<const QLineEdit*>(focus);
    if (!field || !findBar || !findBar->isAncestorOf(field)) return false;
    for (const int id : {command::kUndo, command::kRedo, command::kCut, command::kCopy,
                         command::kPaste, command::kSelectAll}) {
        if (const QAction* action = acceleratorActions.value(id);
            action && action->shortcuts().contains(key))
            return true;
    }
    return false;
}

bool MainFrame::IsAcceleratorKey(const QKeySequence& key) const {
    return acceleratorKeys.contains(key);
}

void MainFrame::ShowHelpContents() {
    const QString path = programDirectory + ManualFileName();
    if (!QFileInfo(path).isFile()) return;
    if (!helpWindow) {
        helpWindow = new HelpWindow(desktop);
        helpWindow->PlaceBeside(*this);
    }
    // Each time at its first page, as the manual was opened afresh.
    helpWindow->ShowManual(path);
    helpWindow->show();
    helpWindow->raise();
    helpWindow->activateWindow();
}

void MainFrame::ShowAbout() {
    QWidget* owner = QApplication::activeWindow();
    AboutBox box(owner ? owner : this);
    box.exec();
}

}  // namespace quirtle
