#pragma once

#include <QSplitter>
#include <QSplitterHandle>

namespace quirtle {

// Two panes side by side with a vertical bar between them. The bar keeps its distance
// from the left edge when the splitter is resized (the right pane takes up the change),
// and a double-click on it puts it in the middle.
class CentringSplitter : public QSplitter {
    Q_OBJECT
  public:
    explicit CentringSplitter(QWidget* parent = nullptr);

    // Adds the left and right panes; panes never get narrower than kMinimumPaneWidth.
    void SetPanes(QWidget* left, QWidget* right);
    // Distance of the bar from the left edge, in pixels.
    int BarPosition() const;
    void SetBarPosition(int position);
    void CentreBar();

    static constexpr int kMinimumPaneWidth = 4;

  protected:
    QSplitterHandle* createHandle() override;
};

class CentringSplitterHandle : public QSplitterHandle {
    Q_OBJECT
  public:
    explicit CentringSplitterHandle(CentringSplitter* parent);

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace quirtle
