#pragma once

#include <QList>
#include <QString>
#include <QTest>
#include <deque>
#include <optional>

#include "base/Prompts.h"

namespace quirtle::testing {

// Answers the program's questions from queues the test fills, and records every question
// asked, so tests can check both what was asked and what happened after each answer.
// A question with no queued answer fails the running test (and only that test) and is
// answered the way that loses nothing: Cancel or No, or a cancelled file dialog.
class ScriptedPrompts : public Prompts {
  public:
    struct Message {
        QString text;
        QString caption;
        MessageButtons buttons;
        MessageIcon icon;
    };
    struct Dialog {
        bool save;
        FileDialogRequest request;
    };

    std::deque<MessageAnswer> messageAnswers;
    std::deque<std::optional<QString>> fileAnswers;  // nothing = the dialog was cancelled
    // The entry chosen when a question with a list is answered Yes (default: the entry
    // selected when it opened).
    std::deque<int> choiceAnswers;
    QList<QStringList> choiceLists;  // the lists of the questions asked with one
    QList<int> choiceSelections;     // and the entry each had selected
    // The buttons of the questions asked with buttons of their own: accept (the default)
    // first, then cancel. Answered from messageAnswers: Ok chooses accept.
    QList<QStringList> buttonTexts;
    QList<Message> messages;
    QList<Dialog> dialogs;

    MessageAnswer ShowMessage(QWidget*, const QString& text, const QString& caption,
                              MessageButtons buttons, MessageIcon icon) override {
        messages.append({text, caption, buttons, icon});
        if (messageAnswers.empty()) {
            if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
            Unexpected("unexpected question: " + text);
            return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
        }
        const MessageAnswer answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }

    // Answered from messageAnswers (Yes or No), then choiceAnswers for the entry.
    std::optional<int> AskWithChoice(QWidget* owner, const QString& text, const QString& caption,
                                     const QStringList& choices, int selected = 0) override {
        choiceLists.append(choices);
        choiceSelections.append(selected);
        if (ShowMessage(owner, text, caption, MessageButtons::YesNo, MessageIcon::Question) !=
            MessageAnswer::Yes)
            return std::nullopt;
        if (choiceAnswers.empty()) return selected;
        const int chosen = choiceAnswers.front();
        choiceAnswers.pop_front();
        return chosen;
    }

    bool Confirm(QWidget* owner, const QString& text, const QString& caption, const QString& accept,
                 const QString& cancel, MessageIcon icon) override {
        buttonTexts.append({accept, cancel});
        return ShowMessage(owner, text, caption, MessageButtons::OkCancel, icon) ==
               MessageAnswer::Ok;
    }

    std::optional<QString> GetOpenFileName(QWidget*, const FileDialogRequest& request) override {
        return NextFile(false, request);
    }

    std::optional<QString> GetSaveFileName(QWidget*, const FileDialogRequest& request) override {
        return NextFile(true, request);
    }

  private:
    static void Unexpected(const QString& what) {
        QTest::qFail(qPrintable(what), __FILE__, __LINE__);
    }

    std::optional<QString> NextFile(bool save, const FileDialogRequest& request) {
        dialogs.append({save, request});
        if (fileAnswers.empty()) {
            Unexpected(save ? QStringLiteral("unexpected save dialog")
                            : QStringLiteral("unexpected open dialog"));
            return std::nullopt;
        }
        // Taken whole (has_value, then the name): a plain copy of the optional makes GCC
        // warn of a name it thinks uninitialised.
        const bool given = fileAnswers.front().has_value();
        const QString name = given ? *fileAnswers.front() : QString();
        fileAnswers.pop_front();
        return given ? std::optional<QString>(name) : std::nullopt;
    }
};

}  // namespace quirtle::testing
