#pragma once

#include <QString>
#include <cstdint>

#include "base/Status.h"

class QWidget;

namespace quirtle {

class ManuscriptEditor;
class Prompts;

// The File menu's commands on the one manuscript: New, Open, Save, Save As, and the
// save-changes question asked before closing. The text lives only in the editor; this class
// holds the manuscript's path (empty = untitled) and moves the editor's modified flag.
//
// Saving never loses anything: the file is replaced atomically, and a save that fails or is
// cancelled leaves the old file, the path and the modified flag as they were, so commands
// that would discard the text (New, Open, closing) stop instead.
class DocumentFiles {
  public:
    DocumentFiles(ManuscriptEditor& editor, Prompts& prompts, QWidget* owner);
    virtual ~DocumentFiles() = default;
    DocumentFiles(const DocumentFiles&) = delete;
    DocumentFiles& operator=(const DocumentFiles&) = delete;

    void NewDocument();
    void OpenDocument();
    // Asks about unsaved changes as Open does, then for a text in the notation of 青空文庫,
    // カクヨム or 小説家になろう, and puts its manuscript into the editor as a new, untitled
    // text with unsaved changes.
    void ImportDocument();
    void SaveDocument();
    void SaveDocumentAs();

    // Shows the save dialog; true when a name was chosen, which documentPath then holds.
    bool PromptSaveName();
    // Writes the editor's text to the path as CP932 with CR LF line breaks. 0 on success;
    // a negative status when the user cancelled (kStatusCancelled) or the write failed (a
    // message naming the file and the reason has been shown). Leaves the modified flag alone.
    int32_t WriteDocument(const QString& path);
    // Empty, untitled, unmodified, no undo history.
    void ResetDocument();
    const QString& documentPath() const { return documentPath_; }
    // Puts a text restored after a crash into the editor as an unsaved change of the
    // manuscript at `path` (empty: untitled), so that Save writes that file.
    void RestoreUnsaved(const QString& path, const QString& text);

    // Asks whether to save changes before the window closes. True when it may close: no
    // changes, No, or Yes and the save succeeded; false on Cancel or a failed/cancelled save.
    bool ConfirmClose();

  private:
    enum class Answer { Yes, No, Cancel };
    Answer AskSaveChanges();
    // Asks about unsaved changes and saves on Yes; true when the command may go on.
    bool SaveChangesFirst();
    // Saves under documentPath, asking for a name when untitled. True when written.
    bool Save();
    // Asks for a name and saves under it; on failure documentPath goes back to what it was.
    bool SaveUnderNewName();
    // Asks for a file and puts its text into the editor.
    void ChooseAndOpen();

    ManuscriptEditor& editor_;
    Prompts& prompts_;
    QWidget* owner_;
    QString documentPath_;
};

}  // namespace quirtle
