#pragma once

#include <QTreeWidget>
#include <vector>

#include "editing/ManuscriptAnalysis.h"

class QPlainTextEdit;

namespace quirtle::editing {

// The list of section headings beside the editor, nested as the sections nest, each with
// the characters of its text. A click puts the editor's cursor on the heading's line and
// shows that line at the top; the heading that holds the cursor is the current item.
// Headings of lines the converter rejected are listed too, in red.
class OutlinePanel : public QTreeWidget {
    Q_OBJECT
  public:
    explicit OutlinePanel(QPlainTextEdit& editor, QWidget* parent = nullptr);

    // Shows these headings (from an analysis of the editor's text).
    void SetHeadings(std::vector<OutlineHeading> headings);
    const std::vector<OutlineHeading>& Headings() const { return headings; }
    // Moves the editor to the heading of this entry.
    void GoTo(QTreeWidgetItem* item);
    // Makes the heading that holds the cursor the current item.
    void FollowCursor();

  private:
    QPlainTextEdit& editor;
    std::vector<OutlineHeading> headings;
    std::vector<QTreeWidgetItem*> items;  // one per heading, in order
};

}  // namespace quirtle::editing
