#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/Status.h"

class QWidget;

namespace quirtle {

class ManuscriptEditor;
class Prompts;

// The encoding a manuscript is saved in. A new manuscript is Shift_JIS; one opened from
// UTF-8 stays UTF-8; one Shift_JIS cannot hold becomes UTF-8 after a question.
enum class ManuscriptEncoding { ShiftJis, Utf8 };

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
    // Writes the editor's text to the path with CR LF line breaks in the manuscript's
    // encoding: Shift_JIS, or UTF-8 (with a byte-order mark when the file was opened with
    // one). Shift_JIS text holding a character Shift_JIS cannot hold is written as UTF-8
    // after one question, and the manuscript is UTF-8 from then on. 0 on success; a
    // negative status when the user cancelled (kStatusCancelled) or the write failed (a
    // message naming the file and the reason has been shown). Leaves the modified flag alone.
    int32_t WriteDocument(const QString& path);
    // Empty, untitled, unmodified, no undo history.
    void ResetDocument();
    const QString& documentPath() const { return documentPath_; }
    // Puts a text restored after a crash into the editor as an unsaved change of the
    // manuscript at `path` (empty: untitled), so that Save writes that file.
    void RestoreUnsaved(const QString& path, const QString& text);

    ManuscriptEncoding encoding() const { return encoding_; }
    // The encoding of the next save (the menu's choice); nothing else changes.
    void SetEncoding(ManuscriptEncoding encoding);
    // Called whenever the encoding changes (opening, saving, New, the menu).
    void SetEncodingObserver(std::function<void()> observer) {
        encodingObserver_ = std::move(observer);
    }

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
    void ChangeEncoding(ManuscriptEncoding encoding, bool byteOrderMark);
    // The bytes to write, asking about UTF-8 when Shift_JIS cannot hold the text. Nothing
    // when the user cancelled.
    std::optional<std::string> EncodeForSaving(ManuscriptEncoding& encoding);

    ManuscriptEditor& editor_;
    Prompts& prompts_;
    QWidget* owner_;
    QString documentPath_;
    ManuscriptEncoding encoding_ = ManuscriptEncoding::ShiftJis;
    bool byteOrderMark_ = false;  // a UTF-8 file opened with one keeps it
    std::function<void()> encodingObserver_;
};

}  // namespace quirtle
