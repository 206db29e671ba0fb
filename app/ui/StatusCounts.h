#pragma once

#include <QString>

#include "counts/TextCounts.h"

class QLabel;
class QStatusBar;

namespace quirtle {

// The character count and the 400-character manuscript pages, kept at the right of the
// status bar apart from the prompts.
class StatusCounts {
  public:
    explicit StatusCounts(QStatusBar* statusBar);

    // Shows the counts of the whole text, or of the selection.
    void Show(const counts::TextCounts& counts, bool ofSelection);

    QLabel* CharactersLabel() const { return characters; }
    QLabel* PagesLabel() const { return pages; }

    static QString CharactersText(std::size_t count, bool ofSelection);
    static QString PagesText(std::size_t count);

  private:
    QLabel* characters;
    QLabel* pages;
};

}  // namespace quirtle
