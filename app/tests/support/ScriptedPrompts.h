#pragma once

#include <QList>
#include <QString>
#include <deque>
#include <optional>
#include <stdexcept>

#include "ui/Prompts.h"

namespace quirtle::testing {

// Answers the program's questions from queues the test fills, and records every question
// asked, so tests can check both what was asked and what happened after each answer.
// A question with no queued answer fails the test loudly instead of guessing.
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
    QList<Message> messages;
    QList<Dialog> dialogs;

    MessageAnswer ShowMessage(QWidget*, const QString& text, const QString& caption,
                              MessageButtons buttons, MessageIcon icon) override {
        messages.append({text, caption, buttons, icon});
        if (messageAnswers.empty()) {
            if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
            throw std::logic_error("unexpected question: " + text.toStdString());
        }
        const MessageAnswer answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }

    std::optional<QString> GetOpenFileName(QWidget*, const FileDialogRequest& request) override {
        return NextFile(false, request);
    }

    std::optional<QString> GetSaveFileName(QWidget*, const FileDialogRequest& request) override {
        return NextFile(true, request);
    }

private:
    std::optional<QString> NextFile(bool save, const FileDialogRequest& request) {
        dialogs.append({save, request});
        if (fileAnswers.empty()) throw std::logic_error("unexpected file dialog");
        auto answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }
};

}  // namespace quirtle::testing
