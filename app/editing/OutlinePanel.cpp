#include "editing/OutlinePanel.h"

#include <QHeaderView>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <algorithm>

namespace quirtle::editing {

namespace {
constexpr int kLineRole = Qt::UserRole;
}

OutlinePanel::OutlinePanel(QPlainTextEdit& editor, QWidget* parent)
    : QTreeWidget(parent), editor(editor) {
    setColumnCount(2);
    setHeaderLabels({QStringLiteral("見出し"), QStringLiteral("字数")});
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
    header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    setUniformRowHeights(true);
    setFocusPolicy(Qt::ClickFocus);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { GoTo(item); });
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { GoTo(item); });
    connect(&editor, &QPlainTextEdit::cursorPositionChanged, this, &OutlinePanel::FollowCursor);
}

void OutlinePanel::SetHeadings(std::vector<OutlineHeading> newHeadings) {
    headings = std::move(newHeadings);
    items.clear();
    setUpdatesEnabled(false);
    clear();
    // The item that holds each depth (nullptr for a depth without a heading of its own):
    // a heading goes under the nearest shallower heading.
    std::vector<QTreeWidgetItem*> holders;
    for (const OutlineHeading& heading : headings) {
        // A rejected line opens no section: it hangs under the innermost heading, in the
        // order of the text, and holds nothing.
        const std::size_t above =
            heading.rejected
                ? holders.size()
                : std::min(holders.size(), static_cast<std::size_t>(heading.depth - 1));
        if (!heading.rejected) holders.resize(static_cast<std::size_t>(heading.depth - 1), nullptr);
        QTreeWidgetItem* parent = nullptr;
        for (std::size_t i = above; i > 0 && !parent; --i) parent = holders[i - 1];
        const QString text = heading.text.isEmpty() && !heading.rejected
                                 ? QStringLiteral("（見出しなし）")
                                 : heading.text;
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setText(0, heading.rejected ? QStringLiteral("× ") + text : text);
        item->setText(1, QString::number(heading.characters));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(0, kLineRole, heading.line);
        if (heading.rejected) {
            item->setForeground(0, Qt::red);
            item->setToolTip(0,
                             QStringLiteral("読めない見出し行（%1 行目）").arg(heading.line + 1));
        }
        items.push_back(item);
        if (!heading.rejected) holders.push_back(item);
    }
    expandAll();
    setUpdatesEnabled(true);
    FollowCursor();
}

void OutlinePanel::GoTo(QTreeWidgetItem* item) {
    if (!item) return;
    const QTextBlock block = editor.document()->findBlockByNumber(item->data(0, kLineRole).toInt());
    if (!block.isValid()) return;
    QTextCursor cursor(block);
    editor.setTextCursor(cursor);
    // The heading's line at the top of the pane (the editor scrolls by lines as shown).
    editor.verticalScrollBar()->setValue(block.firstLineNumber());
    editor.setFocus();
}

void OutlinePanel::FollowCursor() {
    if (headings.empty()) return;
    const int line = editor.textCursor().blockNumber();
    auto after = std::upper_bound(headings.begin(), headings.end(), line,
                                  [](int at, const OutlineHeading& h) { return at < h.line; });
    QTreeWidgetItem* current = after == headings.begin()
                                   ? nullptr
                                   : items[static_cast<std::size_t>(after - headings.begin() - 1)];
    if (current == currentItem()) return;
    const QSignalBlocker quiet(this);
    setCurrentItem(current);
    if (current) scrollToItem(current);
}

}  // namespace quirtle::editing
