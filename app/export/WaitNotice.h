#pragma once

#include <QFrame>
#include <QString>

class QLabel;
class QPushButton;

namespace quirtle {

// A small notice in a window while the window waits for another program: what it waits
// for, and the button "待たずに続ける". It is not modal and takes no key focus (a key
// typed meanwhile must not press it); it stays in the window's lower right corner.
class WaitNotice : public QFrame {
    Q_OBJECT
  public:
    WaitNotice(QWidget* window, const QString& text);
    QPushButton* Button() const { return button_; }

  signals:
    void StopWaiting();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Place();

    QLabel* label_;
    QPushButton* button_;
};

}  // namespace quirtle
