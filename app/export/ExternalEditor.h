#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

namespace quirtle {

class Desktop;
class ManuscriptEditor;
class Prompts;

// Editing the manuscript in another program: the editor's text goes to a temporary file
// "QRT….tmp", the chosen program is started on it and waited for, and when it exits with
// code 0 the file's text replaces the editor's. The program is the one chosen in the
// settings (kept in the file "EDITOR" beside this program), or else the desktop's default
// program for "LICENSE.TXT". Failures end a command quietly.
class ExternalEditor {
  public:
    // `programDirectory` ends in '/'.
    ExternalEditor(ManuscriptEditor& editor, Prompts& prompts, Desktop& desktop, QWidget* owner,
                   QString programDirectory);
    virtual ~ExternalEditor() = default;
    ExternalEditor(const ExternalEditor&) = delete;
    ExternalEditor& operator=(const ExternalEditor&) = delete;

    // Reads the chosen program from "EDITOR" (1 to 259 bytes, up to the first NUL).
    void LoadEditorSetting();
    // Lets the user choose the program; the choice holds at once and is written to "EDITOR".
    void ChooseExternalEditor();
    // Edits the text in the program and takes the result back on exit code 0.
    void LaunchExternalEditor();
    // Replaces the editor's whole text by the text of the file (Shift_JIS, or UTF-8 when the
    // other program saved it so). Nothing happens when the file cannot be read or decoded.
    void ReloadFromFile(const QString& path);

    // The chosen program's path as bytes; empty when none was chosen.
    const QByteArray& editorPath() const { return editorPath_; }
    // True while the program runs. The window repaints meanwhile but must not close.
    bool busy() const { return busy_; }

  private:
    QByteArray EditorToRun() const;

    ManuscriptEditor& editor_;
    Prompts& prompts_;
    Desktop& desktop_;
    QWidget* owner_;
    QString programDirectory_;
    QByteArray editorPath_;
    bool busy_ = false;
};

}  // namespace quirtle
