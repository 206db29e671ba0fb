#pragma once

#include <QDialog>

namespace quirtle {

// The About box: the program's name and version, its icon and an OK button. It closes
// with OK, Esc and the close box, and opens centred over its owner (the dialog's own placement).
class AboutBox : public QDialog {
    Q_OBJECT
  public:
    explicit AboutBox(QWidget* owner);

    static QString AboutText();
};

}  // namespace quirtle
