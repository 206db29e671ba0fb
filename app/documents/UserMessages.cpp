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

QString NotShiftJisText(const QString& path, bool looksLikeUtf8) {
    const QString name = QDir::toNativeSeparators(path);
    if (looksLikeUtf8) {
        return QStringLiteral(
                   "\"%1\" は UTF-8 で書かれているため開けません。\n"
                   "開けるのは Shift_JIS のテキスト ファイルだけです。")
            .arg(name);
    }
    return QStringLiteral("\"%1\" は Shift_JIS のテキスト ファイルではないため開けません。")
        .arg(name);
}

bool ConfirmUnencodable(Prompts& prompts, QWidget* owner, const text::Unencodable& first) {
    const auto code = static_cast<uint>(first.character);
    const QString codeText =
        QStringLiteral("U+%1").arg(code, code > 0xFFFF ? 5 : 4, 16, QChar(u'0')).toUpper();
    // Show the character itself when it can be seen; its code point always.
    const QString shown =
        QChar::isPrint(code)
            ? QStringLiteral("「%1」(%2)").arg(QString::fromUcs4(&first.character, 1), codeText)
            : codeText;
    const QString message =
        QStringLiteral(
            "%1 行目の文字 %2 は Shift_JIS で表せません。\n"
            "この文字 (とほかの表せない文字) は \"?\" に置き換えられます。続けますか?")
            .arg(first.line)
            .arg(shown);
    return prompts.ShowMessage(owner, message, QStringLiteral("確認"), MessageButtons::OkCancel,
                               MessageIcon::Warning) == MessageAnswer::Ok;
}

}  // namespace quirtle::documents
