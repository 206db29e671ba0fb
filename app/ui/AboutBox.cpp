#include "ui/AboutBox.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/AppIcon.h"

namespace quirtle {

AboutBox::AboutBox(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);

    auto* group = new QGroupBox(this);
    auto* icon = new QLabel(group);
    icon->setPixmap(AppIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignCenter);
    auto* text = new QLabel(AboutText(), group);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setAlignment(Qt::AlignCenter);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(icon);
    groupLayout->addWidget(text);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttonColumn = new QVBoxLayout;
    buttonColumn->addStretch();
    buttonColumn->addWidget(ok);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttonColumn);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ok->setFocus();
}

QString AboutBox::AboutText() {
    return QStringLiteral("quirtle v" QUIRTLE_VERSION "\n\nCopyright (C) quirtle developers");
}

}  // namespace quirtle
