#include "ui/CentringSplitter.h"

#include <QMouseEvent>

namespace quirtle {

CentringSplitter::CentringSplitter(QWidget* parent) : QSplitter(Qt::Horizontal, parent) {
    setChildrenCollapsible(false);
}

void CentringSplitter::SetPanes(QWidget* left, QWidget* right) {
    for (QWidget* pane : {left, right}) {
        pane->setMinimumWidth(kMinimumPaneWidth);
        addWidget(pane);
    }
    // No proportional resizing: only the right pane grows or shrinks with the splitter.
    setStretchFactor(0, 0);
    setStretchFactor(1, 1);
    QSizePolicy fixedLeft = left->sizePolicy();
    fixedLeft.setHorizontalStretch(0);
    left->setSizePolicy(fixedLeft);
}

int CentringSplitter::BarPosition() const {
    const QList<int> paneSizes = sizes();
    return paneSizes.isEmpty() ? 0 : paneSizes.first();
}

void CentringSplitter::SetBarPosition(int position) {
    if (count() < 2) return;
    const int available = width() - handleWidth();
    const int left =
        qBound(kMinimumPaneWidth, position, qMax(kMinimumPaneWidth, available - kMinimumPaneWidth));
    setSizes({left, available - left});
}

void CentringSplitter::CentreBar() {
    // The bar's middle at the middle of the splitter.
    SetBarPosition((width() - handleWidth()) / 2);
}

QSplitterHandle* CentringSplitter::createHandle() {
    return new CentringSplitterHandle(this);
}

CentringSplitterHandle::CentringSplitterHandle(CentringSplitter* parent)
    : QSplitterHandle(Qt::Horizontal, parent) {}

void CentringSplitterHandle::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        static_cast<CentringSplitter*>(splitter())->CentreBar();
        event->accept();
        return;
    }
    QSplitterHandle::mouseDoubleClickEvent(event);
}

}  // namespace quirtle
