#include "ui/QtPrompts.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

namespace quirtle {

namespace {

// A message box that can refuse Esc and its close box (for questions without Cancel).
class MessageBox : public QMessageBox {
  public:
    using QMessageBox::QMessageBox;
    bool mayDismiss = true;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (!mayDismiss && event->key() == Qt::Key_Escape) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        if (!mayDismiss && !clickedButton()) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }
};

// An open dialog whose default suffix is added to a typed name only when the name as
// typed names no existing file, so a program without extension can still be chosen.
class OpenFileDialog : public QFileDialog {
  public:
    OpenFileDialog(QWidget* owner, QString suffix)
        : QFileDialog(owner), suffix(std::move(suffix)) {}

    QStringList Chosen() const {
        return suffixedChoice.isEmpty() ? selectedFiles() : QStringList{suffixedChoice};
    }

  protected:
    void accept() override {
        const QStringList chosen = selectedFiles();
        if (chosen.size() == 1 && !suffix.isEmpty()) {
            const QFileInfo typed(chosen.first());
            const QString suffixed = chosen.first() + QLatin1Char('.') + suffix;
            if (!typed.exists() && !typed.fileName().contains(QLatin1Char('.')) &&
                QFileInfo(suffixed).isFile()) {
                suffixedChoice = suffixed;
                QDialog::accept();
                return;
            }
        }
        QFileDialog::accept();
    }

  private:
    QString suffix;
    QString suffixedChoice;
};

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

std::optional<QString> RunFileDialog(QWidget* owner, const FileDialogRequest& request, bool save) {
    OpenFileDialog dialog(owner, save ? QString() : request.defaultSuffix);
    // Qt's own dialog adds the default suffix to a typed name before it asks about
    // replacing a file; a desktop-native dialog may ask about the name as typed and then
    // let the suffixed file be overwritten without a question.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = NameFilters(request);
    dialog.setNameFilters(filters);
    if (request.selectedFilter >= 0 && request.selectedFilter < filters.size()) {
        dialog.selectNameFilter(filters[request.selectedFilter]);
    }
    if (save) dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.initialName.isEmpty()) dialog.selectFile(request.initialName);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.Chosen();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first();
}

}  // namespace

QStringList NameFilters(const FileDialogRequest& request) {
    QStringList filters;
    for (const FileFilter& filter : request.filters) {
        // The description usually names its pattern already, as in "Text (*.txt)".
        if (filter.description.contains(QLatin1Char('(') + filter.pattern + QLatin1Char(')'))) {
            filters.append(filter.description);
        } else {
            filters.append(filter.description + QStringLiteral(" (") + filter.pattern + ')');
        }
    }
    return filters;
}

MessageAnswer QtPrompts::ShowMessage(QWidget* owner, const QString& text, const QString& caption,
                                     MessageButtons buttons, MessageIcon icon) {
    MessageBox box(ToQtIcon(icon), caption, text, QMessageBox::NoButton, owner);
    switch (buttons) {
        case MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
            break;
        case MessageButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.mayDismiss = false;
            break;
        case MessageButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
    }
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        default:
            break;
    }
    return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

std::optional<QString> QtPrompts::GetOpenFileName(QWidget* owner,
                                                  const FileDialogRequest& request) {
    return RunFileDialog(owner, request, false);
}

std::optional<QString> QtPrompts::GetSaveFileName(QWidget* owner,
                                                  const FileDialogRequest& request) {
    return RunFileDialog(owner, request, true);
}

}  // namespace quirtle
