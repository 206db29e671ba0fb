#pragma once

#include "base/Prompts.h"

namespace quirtle {

// Prompts shown with Qt message boxes and file dialogs.
class QtPrompts : public Prompts {
  public:
    MessageAnswer ShowMessage(QWidget* owner, const QString& text, const QString& caption,
                              MessageButtons buttons, MessageIcon icon) override;
    std::optional<QString> GetOpenFileName(QWidget* owner,
                                           const FileDialogRequest& request) override;
    std::optional<QString> GetSaveFileName(QWidget* owner,
                                           const FileDialogRequest& request) override;
    std::optional<int> AskWithChoice(QWidget* owner, const QString& text, const QString& caption,
                                     const QStringList& choices, int selected = 0) override;
    bool Confirm(QWidget* owner, const QString& text, const QString& caption, const QString& accept,
                 const QString& cancel, MessageIcon icon) override;
};

// The name filters of a request in QFileDialog's form ("Text (*.txt)").
QStringList NameFilters(const FileDialogRequest& request);

}  // namespace quirtle
