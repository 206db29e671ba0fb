#pragma once

#include <QByteArray>
#include <QString>

namespace quirtle {

// Where the external editor's setting, the file "EDITOR", is kept: beside the program, as
// it always was, or, for a copy installed where the user cannot write, in the user's
// configuration folder ($XDG_CONFIG_HOME/quirtle/), so that a choice is never silently
// lost.
class EditorSetting {
  public:
    // Both folders end in '/'.
    EditorSetting(QString programDirectory, QString configDirectory);
    // The setting of the current user: `configDirectory` is $XDG_CONFIG_HOME/quirtle/
    // (~/.config/quirtle/ when the variable is unset).
    explicit EditorSetting(QString programDirectory);

    // The setting's bytes (1 to 259 bytes, up to the first NUL); empty when there is none.
    // The file beside the program is read first; the user's file where there is none, and
    // before it when the program's folder is not writable (the user cannot have chosen the
    // one beside the program).
    QByteArray Load() const;
    // Writes the setting beside the program, or, when that cannot be written, into the
    // user's configuration folder. False when neither could be written.
    bool Save(const QByteArray& editorPath) const;

    QString ProgramFile() const { return programDirectory + kFileName; }
    QString UserFile() const { return configDirectory + kFileName; }

    static QString UserConfigDirectory();

  private:
    static constexpr const char* kFileName = "EDITOR";

    QString programDirectory;
    QString configDirectory;
};

}  // namespace quirtle
