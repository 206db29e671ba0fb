#include "documents/UserMessages.h"

#include <QChar>
#include <QDir>
#include <cerrno>
#include <cstring>

#include "base/Prompts.h"

namespace quirtle::documents {
namespace {

QString PlainReason(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return QStringLiteral("書き込みが許可されていません。");
        case EROFS:
            return QStringLiteral("読み取り専用の場所です。");
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("ディスクの空き容量が足りません。");
        case EFBIG:
            return QStringLiteral("ファイルが大きすぎます。");
        case EISDIR:
            return QStringLiteral("同じ名前のフォルダがあります。");
        case ENOENT:
        case ENOTDIR:
            return QStringLiteral("保存先のフォルダが見つかりません。");
        case EINVAL:
            return QStringLiteral("保存先が通常のファイルではありません。");
        case ENAMETOOLONG:
            return QStringLiteral("ファイル名が長すぎます。");
        case EIO:
            return QStringLiteral("ディスクの読み書きでエラーが起きました。");
        default:
            return QStringLiteral("システム エラーが起きました。");
    }
}

}  // namespace

QString DescribeFileError(int error) {
    return QStringLiteral("%1 (%2)").arg(PlainReason(error),
                                         QString::fromLocal8Bit(std::strerror(error)));
}

QString SaveFailedText(const QString& path, int error) {
    return QStringLiteral(
               "\"%1\" を保存できませんでした。\n%2\n\n"
               "元のファイルは変更されていません。編集中の文章はまだ保存されていません。")
        .arg(QDir::toNativeSeparators(path), DescribeFileError(error));
}

QString NotShiftJisText(const QString& path) {
    return QStringLiteral("\"%1\" は Shift_JIS のテキスト ファイルではないため開けません。")
        .arg(QDir::toNativeSeparators(path));
}

QString ConvertOnOpenText(const QString& path, text::TextEncoding encoding) {
    return QStringLiteral(
               "\"%1\" は %2 で書かれています。\n"
               "Shift_JIS に変換して開きますか?\n\n"
               "変換した文章は未保存の変更になり、次に保存すると Shift_JIS で書き込まれます "
               "(Shift_JIS で表せない文字があれば、UTF-8 で保存するか尋ねます)。")
        .arg(QDir::toNativeSeparators(path), text::EncodingName(encoding));
}

QString UnreadableEditText(const QString& path) {
    return QStringLiteral(
               "外部エディタで編集した文章を読み込めませんでした。文字コードを判別できません。\n"
               "編集した文章は次のファイルに残っています (削除されません):\n%1")
        .arg(QDir::toNativeSeparators(path));
}

QString ShownCharacter(char32_t character) {
    const auto code = static_cast<uint>(character);
    if (QChar::isPrint(code)) return QString::fromUcs4(&character, 1);
    return QStringLiteral("U+%1").arg(code, code > 0xFFFF ? 5 : 4, 16, QChar(u'0')).toUpper();
}

bool ConfirmSaveAsUtf8(Prompts& prompts, QWidget* owner, const text::Unencodable& first) {
    const QString message =
        QStringLiteral(
            "この原稿には Shift_JIS で保存できない文字があります（最初は %1 行目の「%2」）。"
            "UTF-8 で保存しますか?")
            .arg(first.line)
            .arg(ShownCharacter(first.character));
    return prompts.Confirm(owner, message, QStringLiteral("確認"), QStringLiteral("UTF-8 で保存"),
                           QStringLiteral("キャンセル"), MessageIcon::Question);
}

bool ConfirmEditorFileAsUtf8(Prompts& prompts, QWidget* owner, const text::Unencodable& first,
                             const QString& charset) {
    const QString message = QStringLiteral(
                                "この原稿には外部エディタの文字コード %1 で表せない文字があります"
                                "（最初は %2 行目の「%3」）。\n"
                                "外部エディタに渡すファイルを UTF-8 で書き出して起動しますか?\n"
                                "(エディタが UTF-8 を読めない場合、その文字は正しく表示されません)")
                                .arg(charset)
                                .arg(first.line)
                                .arg(ShownCharacter(first.character));
    return prompts.Confirm(owner, message, QStringLiteral("確認"), QStringLiteral("UTF-8 で起動"),
                           QStringLiteral("キャンセル"), MessageIcon::Question);
}

}  // namespace quirtle::documents
