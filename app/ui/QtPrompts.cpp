#include "ui/QtPrompts.h"

#include <dirent.h>

#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include "text/FileNames.h"

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
        if (!byteNamedChoice.isEmpty()) return {byteNamedChoice};
        return suffixedChoice.isEmpty() ? selectedFiles() : QStringList{suffixedChoice};
    }
    // A file of the list of names Qt cannot show was chosen.
    void ChooseByteNamed(const QString& path) {
        byteNamedChoice = path;
        QDialog::accept();
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
    QString byteNamedChoice;
};

void SetJapaneseButtonTexts(QMessageBox& box);

// The names in a folder that are not valid UTF-8, as full paths that keep their bytes.
QStringList ByteNamedFiles(const QString& folder) {
    QStringList paths;
    const QByteArray folderBytes = text::FileNameToBytes(folder);
    DIR* directory = ::opendir(folderBytes.constData());
    if (directory == nullptr) return paths;
    while (const dirent* entry = ::readdir(directory)) {
        const QByteArray name(entry->d_name);
        if (text::IsValidUtf8(name)) continue;
        paths.append(text::FileNameFromBytes(folderBytes + '/' + name));
    }
    ::closedir(directory);
    paths.sort();
    return paths;
}

// Qt's dialog cannot list a file whose name is not valid UTF-8. Below its own list the
// dialog gets a second one with such files of the shown folder (their odd bytes as
// \xHH); choosing one there opens or saves that file.
void AddByteNamedList(OpenFileDialog& dialog, bool askBeforeReplacing) {
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    if (grid == nullptr) return;
    auto* label = new QLabel(
        QStringLiteral(
            "名前が UTF-8 でないため上の一覧に出せないファイル (ダブルクリックで選べます):"),
        &dialog);
    auto* list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("byteNamedFiles"));
    list->setMaximumHeight(90);
    const int row = grid->rowCount();
    grid->addWidget(label, row, 0, 1, grid->columnCount());
    grid->addWidget(list, row + 1, 0, 1, grid->columnCount());
    const auto fill = [label, list](const QString& folder) {
        list->clear();
        for (const QString& path : ByteNamedFiles(folder)) {
            auto* item = new QListWidgetItem(
                text::ShownFileName(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1)), list);
            item->setData(Qt::UserRole, path);
        }
        label->setVisible(list->count() > 0);
        list->setVisible(list->count() > 0);
    };
    QObject::connect(&dialog, &QFileDialog::directoryEntered, list, fill);
    QObject::connect(list, &QListWidget::itemActivated, &dialog,
                     [&dialog, askBeforeReplacing](QListWidgetItem* item) {
                         const QString path = item->data(Qt::UserRole).toString();
                         if (askBeforeReplacing) {
                             QMessageBox box(
                                 QMessageBox::Warning, dialog.windowTitle(),
                                 text::ShownFileName(path) +
                                     QStringLiteral(" は既に存在します。\n上書きしますか?"),
                                 QMessageBox::Yes | QMessageBox::No, &dialog);
                             SetJapaneseButtonTexts(box);
                             if (box.exec() != QMessageBox::Yes) return;
                         }
                         dialog.ChooseByteNamed(path);
                     });
    fill(dialog.directory().absolutePath());
}

// The buttons' texts as the system's own boxes show them in Japanese.
void SetJapaneseButtonTexts(QMessageBox& box) {
    const std::pair<QMessageBox::StandardButton, const char16_t*> texts[] = {
        {QMessageBox::Ok, u"OK"},
        {QMessageBox::Cancel, u"キャンセル"},
        {QMessageBox::Yes, u"はい(&Y)"},
        {QMessageBox::No, u"いいえ(&N)"},
    };
    for (const auto& [button, text] : texts) {
        if (QAbstractButton* shown = box.button(button)) shown->setText(QString::fromUtf16(text));
    }
}

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

// The file-name patterns of one filter as this platform matches them. "*.*" means every
// file where it comes from; here it would hide names without a dot (README, 原稿).
QStringList PlatformPatterns(const QString& pattern) {
    QStringList patterns =
        pattern.split(QRegularExpression(QStringLiteral("[ ;]+")), Qt::SkipEmptyParts);
    for (QString& one : patterns) {
        if (one == QStringLiteral("*.*")) one = QStringLiteral("*");
    }
    return patterns;
}

// Makes the dialog list files by the request's patterns as this platform reads them: the
// dialog itself takes the patterns from the shown text ("すべてのファイル (*.*)").
void UsePlatformPatterns(QFileDialog& dialog, const FileDialogRequest& request,
                         const QStringList& shownFilters) {
    auto* model = dialog.findChild<QFileSystemModel*>();
    if (model == nullptr) return;
    const auto apply = [&dialog, model, request, shownFilters] {
        const qsizetype index = shownFilters.indexOf(dialog.selectedNameFilter());
        if (index < 0 || index >= request.filters.size()) return;
        const QStringList patterns = PlatformPatterns(request.filters[index].pattern);
        if (model->nameFilters() != patterns) model->setNameFilters(patterns);
    };
    // Queued: each runs after the dialog has applied the shown text's patterns itself.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, apply, Qt::QueuedConnection);
    if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
        QObject::connect(types, &QComboBox::currentIndexChanged, &dialog, apply,
                         Qt::QueuedConnection);
    }
    QTimer::singleShot(0, &dialog, apply);
}

// The texts of the dialog's own controls, in Japanese whatever the locale.
void SetJapaneseLabels(QFileDialog& dialog, bool save) {
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("ファイルの場所(&I):"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("ファイル名(&N):"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("ファイルの種類(&T):"));
    dialog.setLabelText(QFileDialog::Accept,
                        save ? QStringLiteral("保存(&S)") : QStringLiteral("開く(&O)"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
    dialog.setWindowTitle(save ? QStringLiteral("名前を付けて保存") : QStringLiteral("開く"));
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
    UsePlatformPatterns(dialog, request, filters);
    SetJapaneseLabels(dialog, save);
    if (save) dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.initialName.isEmpty()) dialog.selectFile(request.initialName);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    AddByteNamedList(dialog, save && request.overwritePrompt);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.Chosen();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first();
}

}  // namespace

QStringList NameFilters(const FileDialogRequest& request) {
    QStringList filters;
    for (const FileFilter& filter : request.filters) {
        // The description usually names its pattern already, as in "Text (*.txt)"; it is
        // shown as it is ("すべてのファイル (*.*)" lists every file all the same).
        if (filter.description.endsWith(QLatin1Char(')')) &&
            filter.description.contains(QLatin1Char('('))) {
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
    SetJapaneseButtonTexts(box);
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

bool QtPrompts::Confirm(QWidget* owner, const QString& text, const QString& caption,
                        const QString& accept, const QString& cancel, MessageIcon icon) {
    MessageBox box(ToQtIcon(icon), caption, text, QMessageBox::NoButton, owner);
    QPushButton* acceptButton = box.addButton(accept, QMessageBox::AcceptRole);
    QPushButton* cancelButton = box.addButton(cancel, QMessageBox::RejectRole);
    box.setDefaultButton(acceptButton);
    box.setEscapeButton(cancelButton);
    box.exec();
    return box.clickedButton() == acceptButton;
}

std::optional<int> QtPrompts::AskWithChoice(QWidget* owner, const QString& text,
                                            const QString& caption, const QStringList& choices,
                                            int selected) {
    MessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
    box.setDefaultButton(QMessageBox::Yes);
    box.mayDismiss = false;
    SetJapaneseButtonTexts(box);
    QListWidget* list = nullptr;
    if (choices.size() > 1) {
        // The list goes below the text, above the buttons.
        list = new QListWidget(&box);
        list->setObjectName(QStringLiteral("choices"));
        list->addItems(choices);
        list->setCurrentRow(selected >= 0 && selected < choices.size() ? selected : 0);
        list->setMinimumWidth(480);
        if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
            QLayoutItem* buttons = grid->itemAtPosition(grid->rowCount() - 1, 0);
            const int row = grid->rowCount();
            if (buttons != nullptr && buttons->widget() != nullptr) {
                QWidget* buttonBox = buttons->widget();
                grid->removeWidget(buttonBox);
                grid->addWidget(list, row - 1, 0, 1, grid->columnCount());
                grid->addWidget(buttonBox, row, 0, 1, grid->columnCount());
            } else {
                grid->addWidget(list, row, 0, 1, grid->columnCount());
            }
        }
    }
    box.exec();
    if (box.standardButton(box.clickedButton()) != QMessageBox::Yes) return std::nullopt;
    return list ? std::max(0, list->currentRow()) : 0;
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
