#include "documents/DocumentImport.h"

#include <QFileInfo>

#include "Import.h"
#include "SourceText.h"
#include "base/Prompts.h"
#include "documents/ManuscriptFile.h"
#include "text/FileNames.h"

namespace quirtle::documents {

namespace {

using importer::Notation;

constexpr Notation kNotations[] = {Notation::Aozora, Notation::Kakuyomu, Notation::Narou};

FileDialogRequest ImportDialog() {
    FileDialogRequest request;
    request.filters = {
        {QStringLiteral("青空文庫形式テキスト (*.txt)"), QStringLiteral("*.txt")},
        {QStringLiteral("カクヨム投稿用テキスト (*.txt)"), QStringLiteral("*.txt")},
        {QStringLiteral("小説家になろう投稿用テキスト (*.txt)"), QStringLiteral("*.txt")},
        {QStringLiteral("すべてのファイル (*.*)"), QStringLiteral("*.*")}};
    request.selectedFilter = 0;
    request.defaultSuffix = QStringLiteral("txt");
    return request;
}

void ShowError(Prompts& prompts, QWidget* owner, const QString& text) {
    prompts.ShowMessage(owner, text, QStringLiteral("エラー"), MessageButtons::Ok,
                        MessageIcon::Error);
}

}  // namespace

QStringList ImportNotationNames() {
    return {QStringLiteral("青空文庫"), QStringLiteral("カクヨム"),
            QStringLiteral("小説家になろう")};
}

std::optional<QString> ChooseAndImport(Prompts& prompts, QWidget* owner) {
    const std::optional<QString> path = prompts.GetOpenFileName(owner, ImportDialog());
    if (!path) return std::nullopt;
    const QString shown = text::ShownFileName(QFileInfo(*path).fileName());
    const std::optional<std::string> bytes = ReadManuscriptBytes(text::FileNameToBytes(*path));
    if (!bytes) {
        ShowError(prompts, owner, shown + QStringLiteral(" を読み込めませんでした。"));
        return std::nullopt;
    }
    int badLine = 0;
    const std::optional<importer::DecodedSource> source = importer::DecodeSource(*bytes, &badLine);
    if (!source) {
        ShowError(prompts, owner,
                  shown + QStringLiteral(
                              " は UTF-8 でも Shift_JIS でもないため取り込めません (%1 行目)。")
                              .arg(badLine));
        return std::nullopt;
    }
    const Notation guess = importer::GuessNotation(source->text);
    int selected = 0;
    for (int i = 0; i < 3; ++i) {
        if (kNotations[i] == guess) selected = i;
    }
    const std::optional<int> chosen = prompts.AskWithChoice(
        owner, shown + QStringLiteral(" を取り込みます。書き方を選んでください。"),
        QStringLiteral("取り込み"), ImportNotationNames(), selected);
    if (!chosen || *chosen < 0 || *chosen >= 3) return std::nullopt;
    const std::string manuscript = importer::ImportText(source->text, kNotations[*chosen]);
    return QString::fromStdString(manuscript).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace quirtle::documents
