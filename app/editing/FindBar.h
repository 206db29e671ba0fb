#pragma once

#include <QTextCursor>
#include <QTimer>
#include <QWidget>
#include <vector>

#include "editing/TextSearch.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quirtle::editing {

// The bar under the editor that finds and replaces: incremental search as the author types,
// next and previous with wrapping round, replace one or all (one undo step), with the
// options case, regular expression, width and selection only. Not a dialog: the text stays
// editable while the bar is open.
class FindBar : public QWidget {
    Q_OBJECT
  public:
    explicit FindBar(QPlainTextEdit& editor, QWidget* parent = nullptr);

    // Opens the bar (with the replace field when withReplace) and puts the focus in the
    // find field, which starts with the selection or the word at the cursor.
    void Open(bool withReplace);
    // Closes the bar; the focus goes back to the text.
    void Close();

    // Selects the next or previous match from the cursor, wrapping round the text (or the
    // selection the search is limited to). False when nothing matches.
    bool FindNext();
    bool FindPrevious();
    // Replaces the selected match, if the selection is one, and selects the next.
    void ReplaceCurrent();
    // Replaces every match (in the selection when limited to it) as one undo step; returns
    // how many it replaced.
    int ReplaceAll();

    // The widgets, for the keyboard and for tests.
    QLineEdit& FindField() const { return *findField; }
    QLineEdit& ReplaceField() const { return *replaceField; }
    QCheckBox& CaseOption() const { return *caseOption; }
    QCheckBox& RegularOption() const { return *regularOption; }
    QCheckBox& WidthOption() const { return *widthOption; }
    QCheckBox& SelectionOption() const { return *selectionOption; }
    // "N 件中 M 件目", or the reason nothing can be found.
    QString CountText() const;
    bool ReplaceShown() const;

  signals:
    // A note for the status bar (wrapping round, how many were replaced).
    void Notice(const QString& text);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Makes the matches for the current pattern, options and text when any has changed.
    const std::vector<TextMatch>& Matches();
    void PatternChanged();
    void Incremental();
    bool Step(bool forward);
    void Select(const TextMatch& match);
    void ShowCount();
    // Index of the match the editor's selection is, or -1.
    int CurrentIndex();
    void Invalidate() { matchesValid = false; }

    QPlainTextEdit& editor;
    QLineEdit* findField = nullptr;
    QLineEdit* replaceField = nullptr;
    QLabel* replaceLabel = nullptr;
    QLabel* countLabel = nullptr;
    QCheckBox* caseOption = nullptr;
    QCheckBox* regularOption = nullptr;
    QCheckBox* widthOption = nullptr;
    QCheckBox* selectionOption = nullptr;
    QPushButton* replaceButton = nullptr;
    QPushButton* replaceAllButton = nullptr;

    TextSearch search;
    bool textValid = false;
    bool matchesValid = false;
    std::vector<TextMatch> matches;
    // The part of the text the search is limited to, following edits.
    QTextCursor scope;
    QTimer countTimer;
    static constexpr int kCountDelayMs = 400;
};

}  // namespace quirtle::editing
