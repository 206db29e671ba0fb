#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace quirtle {

class ManuscriptEditor;
class Prompts;

namespace recovery {
class RecoveryStore;
class RecoveryWriter;
}  // namespace recovery

// The recovery copy of the text that has not been saved, so that a crash, the system
// ending the program or a lost session costs the author at most the last seconds of
// typing. While the text has unsaved changes, a copy is written a short pause after the
// typing stops and at least every `longest` milliseconds while it goes on; a save (the
// modified flag cleared) or a normal end removes it. The copy lives in the recovery
// folder (under $XDG_STATE_HOME/quirtle/), never beside the manuscript, and is written
// on a thread of its own.
class RecoveryManager : public QObject {
    Q_OBJECT
  public:
    // What the author chose to restore: the text and the manuscript's path (empty when
    // untitled).
    struct Restored {
        QString text;
        QString manuscriptPath;
    };

    // `documentPath` gives the manuscript's path (empty when untitled).
    RecoveryManager(QByteArray folder, ManuscriptEditor& editor,
                    std::function<QString()> documentPath, QObject* parent = nullptr);
    ~RecoveryManager() override;  // waits for a write under way; the copy stays

    // Takes this program's place in the folder. False, with ErrorText() set, when the
    // folder cannot be used: no copy is kept then.
    bool Start();
    QString ErrorText() const { return errorText_; }
    // The question asked once at start when programs that ended left copies: はい gives
    // the chosen copy's text, いいえ moves them all to the kept folder for a week.
    std::optional<Restored> OfferRestore(Prompts& prompts, QWidget* owner);

    // The editor's text changed.
    void NoteTextChanged();
    // The editor's modified flag changed; cleared, the copy goes.
    void NoteModifiedChanged(bool modified);
    // Removes the copy; the next change writes one again.
    void Discard();
    // Writes the copy now (when there are unsaved changes) and waits until it is on disk.
    void KeepNow();
    // A normal end: the copy and this program's entry are removed.
    void EndNormally();

    // This program's copy; empty before Start().
    QByteArray CopyPath() const;
    const QByteArray& Folder() const { return folder_; }
    // The pause after typing and the longest time between copies (tests shorten them).
    void SetDelays(int pauseMs, int longestMs);

  signals:
    // A copy is on disk (error 0) or could not be written.
    void CopyFinished(int error);
    // The first failure after copies were written (or since the start): what to tell the
    // author.
    void CopyFailed(const QString& message);

  private:
    void WriteCopy();
    void Finished(int error);

    QByteArray folder_;
    ManuscriptEditor& editor_;
    std::function<QString()> documentPath_;
    std::unique_ptr<recovery::RecoveryStore> store_;
    std::unique_ptr<recovery::RecoveryWriter> writer_;
    QTimer pause_;
    QTimer longest_;
    QString errorText_;
    bool reportedFailure_ = false;
    bool ended_ = false;
};

// The recovery folder: $XDG_STATE_HOME/quirtle, or ~/.local/state/quirtle when that is not
// set (or not an absolute path).
QByteArray RecoveryFolder();

}  // namespace quirtle
