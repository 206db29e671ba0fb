#include "editing/FindBar.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <algorithm>

namespace quirtle::editing {

namespace {

QString WrappedToStartText() {
    return QStringLiteral("先頭に戻って検索しました");
}

QString WrappedToEndText() {
    return QStringLiteral("末尾に戻って検索しました");
}

// The word at the cursor: a run of characters of one kind (letters of one script, digits).
QString WordAt(const QTextCursor& cursor) {
    QTextCursor word(cursor);
    word.select(QTextCursor::WordUnderCursor);
    return word.selectedText();
}

}  // namespace

FindBar::FindBar(QPlainTextEdit& editor, QWidget* parent) : QWidget(parent), editor(editor) {
    findField = new QLineEdit(this);
    findField->setPlaceholderText(QStringLiteral("検索する文字列"));
    replaceField = new QLineEdit(this);
    replaceField->setPlaceholderText(QStringLiteral("置換後の文字列"));
    replaceLabel = new QLabel(QStringLiteral("置換:"), this);
    countLabel = new QLabel(this);
    countLabel->setMinimumWidth(countLabel->fontMetrics().horizontalAdvance(u'0') * 18);
    caseOption = new QCheckBox(QStringLiteral("大文字と小文字を区別"), this);
    regularOption = new QCheckBox(QStringLiteral("正規表現"), this);
    widthOption = new QCheckBox(QStringLiteral("全角と半角を区別しない"), this);
    widthOption->setChecked(true);
    selectionOption = new QCheckBox(QStringLiteral("選択範囲内"), this);
    auto* previousButton = new QPushButton(QStringLiteral("前へ"), this);
    auto* nextButton = new QPushButton(QStringLiteral("次へ"), this);
    replaceButton = new QPushButton(QStringLiteral("置換"), this);
    replaceAllButton = new QPushButton(QStringLiteral("すべて置換"), this);
    auto* closeButton = new QPushButton(QStringLiteral("閉じる"), this);
    for (QPushButton* button :
         {previousButton, nextButton, replaceButton, replaceAllButton, closeButton}) {
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
    }

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setVerticalSpacing(2);
    layout->addWidget(new QLabel(QStringLiteral("検索:"), this), 0, 0);
    layout->addWidget(findField, 0, 1);
    layout->addWidget(previousButton, 0, 2);
    layout->addWidget(nextButton, 0, 3);
    layout->addWidget(countLabel, 0, 4);
    layout->addWidget(closeButton, 0, 5);
    layout->addWidget(replaceLabel, 1, 0);
    layout->addWidget(replaceField, 1, 1);
    layout->addWidget(replaceButton, 1, 2);
    layout->addWidget(replaceAllButton, 1, 3);
    auto* options = new QHBoxLayout;
    for (QCheckBox* option : {caseOption, regularOption, widthOption, selectionOption}) {
        options->addWidget(option);
        connect(option, &QCheckBox::toggled, this, &FindBar::PatternChanged);
    }
    options->addStretch();
    layout->addLayout(options, 2, 0, 1, 6);
    layout->setColumnStretch(1, 1);
    setTabOrder(findField, replaceField);

    findField->installEventFilter(this);
    replaceField->installEventFilter(this);
    connect(findField, &QLineEdit::textEdited, this, &FindBar::Incremental);
    connect(nextButton, &QPushButton::clicked, this, &FindBar::FindNext);
    connect(previousButton, &QPushButton::clicked, this, &FindBar::FindPrevious);
    connect(replaceButton, &QPushButton::clicked, this, &FindBar::ReplaceCurrent);
    connect(replaceAllButton, &QPushButton::clicked, this, &FindBar::ReplaceAll);
    connect(closeButton, &QPushButton::clicked, this, &FindBar::Close);
    connect(editor.document(), &QTextDocument::contentsChanged, this, [this] {
        textValid = false;
        matchesValid = false;
    });
    // While the author types with the bar open, the count follows once typing pauses: the
    // whole text is read again only then, never for each keystroke.
    countTimer.setSingleShot(true);
    countTimer.setInterval(kCountDelayMs);
    connect(&countTimer, &QTimer::timeout, this, [this] {
        if (isVisible()) ShowCount();
    });
    connect(&editor, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        if (!isVisible()) return;
        if (textValid) {
            ShowCount();
        } else {
            countTimer.start();
        }
    });
    hide();
}

bool FindBar::ReplaceShown() const {
    return replaceField->isVisibleTo(this);
}

void FindBar::Open(bool withReplace) {
    replaceLabel->setVisible(withReplace);
    replaceField->setVisible(withReplace);
    replaceButton->setVisible(withReplace);
    replaceAllButton->setVisible(withReplace);
    const QTextCursor cursor = editor.textCursor();
    if (cursor.hasSelection()) {
        QString selected = cursor.selectedText();
        if (selected.contains(QChar::ParagraphSeparator)) {
            // A selection of several lines is where to search, not what to search for.
            selectionOption->setChecked(true);
            scope = cursor;
        } else {
            findField->setText(selected);
        }
    } else if (const QString word = WordAt(cursor); !word.isEmpty()) {
        findField->setText(word);
    }
    show();
    findField->setFocus();
    findField->selectAll();
    PatternChanged();
}

void FindBar::Close() {
    hide();
    editor.setFocus();
}

void FindBar::PatternChanged() {
    if (selectionOption->isChecked() && (scope.isNull() || !scope.hasSelection())) {
        scope = editor.textCursor();
    }
    SearchOptions options;
    options.caseSensitive = caseOption->isChecked();
    options.regularExpression = regularOption->isChecked();
    options.widthInsensitive = widthOption->isChecked();
    const bool valid = search.SetPattern(findField->text(), options);
    findField->setStyleSheet(valid ? QString() : QStringLiteral("color: red;"));
    countLabel->setStyleSheet(valid ? QString() : QStringLiteral("color: red;"));
    matchesValid = false;
    ShowCount();
}

void FindBar::Incremental() {
    PatternChanged();
    if (!search.HasPattern()) return;
    // The match found so far stays when the pattern grows: search from its start.
    const std::vector<TextMatch>& found = Matches();
    if (found.empty()) return;
    const qsizetype from = editor.textCursor().selectionStart();
    auto next = std::lower_bound(found.begin(), found.end(), from,
                                 [](const TextMatch& m, qsizetype at) { return m.start < at; });
    Select(next == found.end() ? found.front() : *next);
}

const std::vector<TextMatch>& FindBar::Matches() {
    if (!textValid) {
        search.SetText(editor.toPlainText());
        textValid = true;
        matchesValid = false;
    }
    if (!matchesValid) {
        qsizetype from = 0;
        qsizetype to = -1;
        if (selectionOption->isChecked() && !scope.isNull()) {
            from = scope.selectionStart();
            to = scope.selectionEnd();
        }
        matches = search.FindAll(from, to);
        matchesValid = true;
    }
    return matches;
}

bool FindBar::FindNext() {
    return Step(true);
}

bool FindBar::FindPrevious() {
    return Step(false);
}

bool FindBar::Step(bool forward) {
    if (!search.HasPattern()) return false;
    const std::vector<TextMatch>& found = Matches();
    if (found.empty()) {
        ShowCount();
        return false;
    }
    const QTextCursor cursor = editor.textCursor();
    if (forward) {
        const qsizetype from = cursor.selectionEnd();
        auto next = std::lower_bound(found.begin(), found.end(), from,
                                     [](const TextMatch& m, qsizetype at) { return m.start < at; });
        // An empty selection at a match's start finds that match.
        if (next == found.end()) {
            emit Notice(WrappedToStartText());
            next = found.begin();
        }
        Select(*next);
    } else {
        const qsizetype before = cursor.selectionStart();
        auto next = std::lower_bound(found.begin(), found.end(), before,
                                     [](const TextMatch& m, qsizetype at) { return m.start < at; });
        if (next == found.begin()) {
            emit Notice(WrappedToEndText());
            next = found.end();
        }
        Select(*(next - 1));
    }
    return true;
}

void FindBar::Select(const TextMatch& match) {
    QTextCursor cursor(editor.document());
    cursor.setPosition(match.start);
    cursor.setPosition(match.end(), QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
    editor.ensureCursorVisible();
    ShowCount();
}

int FindBar::CurrentIndex() {
    const QTextCursor cursor = editor.textCursor();
    if (!cursor.hasSelection()) return -1;
    const std::vector<TextMatch>& found = Matches();
    const TextMatch selected{cursor.selectionStart(),
                             cursor.selectionEnd() - cursor.selectionStart()};
    auto at = std::lower_bound(found.begin(), found.end(), selected.start,
                               [](const TextMatch& m, qsizetype start) { return m.start < start; });
    if (at == found.end() || !(*at == selected)) return -1;
    return static_cast<int>(at - found.begin());
}

void FindBar::ReplaceCurrent() {
    if (!search.HasPattern()) return;
    const int index = CurrentIndex();
    if (index >= 0) {
        const TextMatch match = matches[static_cast<std::size_t>(index)];
        const QString replacement = search.Replacement(match, replaceField->text());
        QTextCursor cursor = editor.textCursor();
        cursor.insertText(replacement);
        editor.setTextCursor(cursor);
    }
    FindNext();
}

int FindBar::ReplaceAll() {
    if (!search.HasPattern()) return 0;
    const std::vector<TextMatch> found = Matches();
    if (found.empty()) {
        emit Notice(QStringLiteral("置換する文字列は見つかりませんでした"));
        return 0;
    }
    // Only the stretch from the first to the last match is written again, in one edit.
    const qsizetype start = found.front().start;
    const qsizetype end = found.back().end();
    QString span;
    qsizetype copied = start;
    const QString& text = search.Text();
    for (const TextMatch& match : found) {
        span += QStringView(text).sliced(copied, match.start - copied);
        span += search.Replacement(match, replaceField->text());
        copied = match.end();
    }
    // The limit, a cursor of its own, keeps covering what it covered, now replaced.
    QTextCursor cursor(editor.document());
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.insertText(span);
    editor.setTextCursor(cursor);
    const int count = static_cast<int>(found.size());
    emit Notice(QStringLiteral("%1 件置換しました").arg(count));
    ShowCount();
    return count;
}

QString FindBar::CountText() const {
    return countLabel->text();
}

void FindBar::ShowCount() {
    if (!search.ErrorText().isEmpty()) {
        countLabel->setText(search.ErrorText());
        return;
    }
    if (!search.HasPattern()) {
        countLabel->clear();
        return;
    }
    const std::size_t total = Matches().size();
    QString text;
    if (total == 0) {
        text = QStringLiteral("見つかりません");
    } else if (const int index = CurrentIndex(); index >= 0) {
        text = QStringLiteral("%1 件中 %2 件目").arg(total).arg(index + 1);
    } else {
        text = QStringLiteral("%1 件").arg(total);
    }
    if (search.TimedOut()) text += QStringLiteral(" (時間切れで中断)");
    countLabel->setText(text);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (key->key() == Qt::Key_Escape) {
            Close();
            return true;
        }
        if (enter && modifiers == Qt::NoModifier) {
            if (watched == replaceField) {
                ReplaceCurrent();
            } else {
                FindNext();
            }
            return true;
        }
        if (enter && modifiers == Qt::ShiftModifier && watched == findField) {
            FindPrevious();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace quirtle::editing
