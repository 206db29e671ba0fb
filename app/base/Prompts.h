#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace quirtle {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageIcon { None, Information, Warning, Error, Question };
// Closing a box with its close button or Esc answers Cancel where the box has a Cancel
// button, otherwise Ok (YesNo boxes cannot be closed that way).
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct FileFilter {
    QString description;  // shown text, e.g. "テキスト ファイル (*.txt)"
    QString pattern;      // e.g. "*.txt"
};

struct FileDialogRequest {
    QList<FileFilter> filters;
    int selectedFilter = 0;        // index into filters selected when the dialog opens
    QString defaultSuffix;         // appended to a name typed without extension ("txt")
    QString initialName;           // file name shown when the dialog opens ("無題")
    bool overwritePrompt = false;  // save dialogs: confirm before choosing an existing file
};

// Every question the program asks the user goes through this interface, so that tests
// can answer it. The real implementation shows Qt message boxes and file dialogs.
class Prompts {
  public:
    virtual ~Prompts() = default;
    virtual MessageAnswer ShowMessage(QWidget* owner, const QString& text, const QString& caption,
                                      MessageButtons buttons, MessageIcon icon) = 0;
    // Returns the chosen path, or nothing when the dialog was cancelled.
    virtual std::optional<QString> GetOpenFileName(QWidget* owner,
                                                   const FileDialogRequest& request) = 0;
    virtual std::optional<QString> GetSaveFileName(QWidget* owner,
                                                   const FileDialogRequest& request) = 0;
    // A question answered はい (the default) or いいえ, with a list to choose from when
    // `choices` holds more than one entry, entry `selected` chosen when it opens. Returns the
    // chosen entry (0 when there is one), or nothing for いいえ. Without a list of its own,
    // the entries are shown in the text and `selected` is the answer.
    virtual std::optional<int> AskWithChoice(QWidget* owner, const QString& text,
                                             const QString& caption, const QStringList& choices,
                                             int selected = 0) {
        QString shown = text;
        if (choices.size() > 1) shown += QStringLiteral("\n\n") + choices.join(u'\n');
        if (ShowMessage(owner, shown, caption, MessageButtons::YesNo, MessageIcon::Question) !=
            MessageAnswer::Yes)
            return std::nullopt;
        return choices.size() > 1 ? selected : 0;
    }
    // A question with two buttons of its own: `accept` (the default button) and `cancel`
    // (also Esc and the close box). True when `accept` was chosen.
    virtual bool Confirm(QWidget* owner, const QString& text, const QString& caption,
                         const QString& accept, const QString& cancel, MessageIcon icon) {
        (void)accept;
        (void)cancel;
        return ShowMessage(owner, text, caption, MessageButtons::OkCancel, icon) ==
               MessageAnswer::Ok;
    }
};

}  // namespace quirtle
