#include "ui/StatusCounts.h"

#include <QLabel>
#include <QLocale>
#include <QStatusBar>

namespace quirtle {

StatusCounts::StatusCounts(QStatusBar* statusBar)
    : characters(new QLabel(statusBar)), pages(new QLabel(statusBar)) {
    characters->setObjectName(QStringLiteral("characterCount"));
    pages->setObjectName(QStringLiteral("pageCount"));
    characters->setToolTip(QStringLiteral("文字数 (選択中は選択範囲の文字数)"));
    pages->setToolTip(
        QStringLiteral("400字詰め原稿用紙換算: 1行20字・1枚20行、段落ごとに改行して1字下げ"));
    for (QLabel* label : {characters, pages}) {
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setContentsMargins(6, 0, 6, 0);
        statusBar->addPermanentWidget(label);
    }
    Show({}, false);
}

void StatusCounts::Show(const counts::TextCounts& counts, bool ofSelection) {
    characters->setText(CharactersText(counts.characters, ofSelection));
    pages->setText(PagesText(counts.pages));
}

QString StatusCounts::CharactersText(std::size_t count, bool ofSelection) {
    const QString number =
        QLocale(QLocale::Japanese, QLocale::Japan).toString(static_cast<qulonglong>(count));
    return ofSelection ? QStringLiteral("選択 %1 文字").arg(number)
                       : QStringLiteral("%1 文字").arg(number);
}

QString StatusCounts::PagesText(std::size_t count) {
    return QStringLiteral("原稿用紙 %1 枚")
        .arg(QLocale(QLocale::Japanese, QLocale::Japan).toString(static_cast<qulonglong>(count)));
}

}  // namespace quirtle
