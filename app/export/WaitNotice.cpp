#include "export/WaitNotice.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace quirtle {

WaitNotice::WaitNotice(QWidget* window, const QString& text)
    : QFrame(window), label_(new QLabel(text, this)), button_(new QPushButton(this)) {
    setObjectName(QStringLiteral("waitNotice"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    button_->setObjectName(QStringLiteral("stopWaiting"));
    button_->setText(QStringLiteral("待たずに続ける"));
    button_->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 6, 6, 6);
    layout->addWidget(label_);
    layout->addWidget(button_);
    connect(button_, &QPushButton::clicked, this, &WaitNotice::StopWaiting);
    window->installEventFilter(this);
    adjustSize();
    Place();
    raise();
}

bool WaitNotice::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) Place();
    return QFrame::eventFilter(watched, event);
}

void WaitNotice::Place() {
    const QWidget* window = parentWidget();
    if (window == nullptr) return;
    // Above the status bar, in the corner where it hides the least text.
    const int margin = 12;
    const int x = qMax(0, window->width() - width() - margin);
    const int y = qMax(0, window->height() - height() - 3 * margin);
    move(x, y);
}

}  // namespace quirtle
