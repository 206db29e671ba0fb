#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace quirtle {

class Desktop;
class ManuscriptEditor;
class Prompts;
class TempFileWatch;

// Editing the manuscript in another program: the editor's text goes to a temporary file
// "QRT….tmp" in the locale's character set (the one desktop editors read), the chosen
// program is started on it and waited for, and when it exits with code 0 the file's text
// replaces the editor's. The program is the one chosen in the settings (kept in the file
// "EDITOR" beside this program), or else the desktop's default program for "LICENSE.TXT",
// started by its desktop entry's whole command.
//
// Editors that hand the file to an instance already running return at once, before the
// author has saved anything. When the program returns and the file is still unchanged, the
// file is kept and watched: each complete save of it replaces the editor's text (one undo
// step each) until the author edits in the editor pane (NotePaneEdited) or starts another
// external edit. Kept files are removed when this object goes. A file whose text cannot be
// read back is never removed, and a message names it.
class ExternalEditor {
  public:
    // `programDirectory` ends in '/'.
    ExternalEditor(ManuscriptEditor& editor, Prompts& prompts, Desktop& desktop, QWidget* owner,
                   QString programDirectory);
    virtual ~ExternalEditor();
    ExternalEditor(const ExternalEditor&) = delete;
    ExternalEditor& operator=(const ExternalEditor&) = delete;

    // Reads the chosen program from "EDITOR" (1 to 259 bytes, up to the first NUL).
    void LoadEditorSetting();
    // Lets the user choose the program; the choice holds at once and is written to "EDITOR".
    void ChooseExternalEditor();
    // Edits the text in the program and takes the result back on exit code 0.
    void LaunchExternalEditor();
    // Replaces the editor's whole text by the text of the file, in whatever encoding the
    // decision rule finds (the locale's, Shift_JIS, ...). False when the file cannot be
    // read or no encoding explains its bytes; the editor is then unchanged.
    bool ReloadFromFile(const QString& path);

    // The author changed the text in the editor pane: a watched file is no longer taken
    // back. Changes this object makes itself are ignored.
    void NotePaneEdited();
    // Called with true when a watch begins and false when it ends.
    void SetWatchingChanged(std::function<void(bool)> callback);
    // The temporary file being watched, or nothing.
    std::optional<QString> WatchedFile() const;
    // How long a watched file must stay unchanged before it is read (tests shorten it).
    void SetSettleTime(int milliseconds) { settleMs_ = milliseconds; }

    // The chosen program's path as bytes; empty when none was chosen.
    const QByteArray& editorPath() const { return editorPath_; }
    // True while the program runs. The window repaints meanwhile but must not close.
    bool busy() const { return busy_; }

  private:
    // The program and its arguments for editing `file`; empty when there is none.
    QStringList EditorCommand(const QString& file) const;
    // Puts decoded bytes of the temporary file into the editor; false (after telling the
    // user which file keeps the text) when they cannot be decoded.
    bool TakeBack(const QString& path, const QByteArray& bytes);
    void StartWatching(const QString& path, const QByteArray& written);
    void StopWatching();

    ManuscriptEditor& editor_;
    Prompts& prompts_;
    Desktop& desktop_;
    QWidget* owner_;
    QString programDirectory_;
    QByteArray editorPath_;
    bool busy_ = false;
    bool replacing_ = false;
    int settleMs_ = 300;
    std::unique_ptr<TempFileWatch> watch_;
    std::function<void(bool)> watchingChanged_;
    QStringList removeAtEnd_;  // kept temporary files whose text reached the editor
};

}  // namespace quirtle
