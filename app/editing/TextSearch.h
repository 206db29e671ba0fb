#pragma once

#include <QRegularExpression>
#include <QString>
#include <vector>

namespace quirtle::editing {

struct SearchOptions {
    bool caseSensitive = false;
    bool regularExpression = false;
    // ＡＢＣ finds ABC, ｶﾅ finds カナ, an ideographic space finds a space, and back.
    bool widthInsensitive = true;
};

// One match in the searched text: where it starts and how long it is.
struct TextMatch {
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype end() const { return start + length; }
    bool operator==(const TextMatch&) const = default;
};

// The text with full-width letters, digits and signs, half-width katakana and the
// ideographic space folded to one form, and where each folded character came from.
class FoldedText {
  public:
    FoldedText() = default;
    explicit FoldedText(const QString& text);

    const QString& Text() const { return folded; }
    // The position in the original text of the folded position (the end included).
    qsizetype Original(qsizetype foldedPosition) const {
        return origins.empty() ? foldedPosition : origins[foldedPosition];
    }
    // The first folded position at or after the original position.
    qsizetype Folded(qsizetype originalPosition) const;

  private:
    QString folded;
    // Empty when every character folded to exactly one.
    std::vector<qsizetype> origins;
};

// The text folded as width-insensitive search sees it.
QString FoldWidth(const QString& text);

// Finds every match of a pattern in a text, plainly or as a regular expression, with a
// limit of work so that no pattern hangs the editor: a regular expression is matched line
// by line, each start position with a bounded number of steps, and the whole search stops
// after a time limit.
class TextSearch {
  public:
    // False, with ErrorText set, when the regular expression is invalid.
    bool SetPattern(const QString& pattern, const SearchOptions& options);
    const QString& ErrorText() const { return errorText; }
    bool HasPattern() const { return !pattern.isEmpty() && errorText.isEmpty(); }

    // Sets the text to search (kept, with its folded form, until the next call).
    void SetText(const QString& text);
    const QString& Text() const { return text; }

    // The matches between from and to (positions of the text), in order. TimedOut tells
    // whether the search stopped at its time limit, with the matches found so far.
    std::vector<TextMatch> FindAll(qsizetype from = 0, qsizetype to = -1);
    bool TimedOut() const { return timedOut; }

    // What a match is replaced by: the replacement as it is, or for a regular expression
    // with \0 to \9 standing for the match and its groups and \\ for a backslash.
    QString Replacement(const TextMatch& match, const QString& replacement) const;

    // The whole text with every match between from and to replaced; count says how many.
    QString ReplaceAll(const std::vector<TextMatch>& matches, const QString& replacement) const;

    // Milliseconds a search may take; steps one start position of a regular expression may.
    static constexpr int kTimeLimitMs = 1500;
    static constexpr int kStepLimit = 100000;

  private:
    void FindPlain(qsizetype from, qsizetype to, std::vector<TextMatch>& matches) const;
    void FindRegular(qsizetype from, qsizetype to, std::vector<TextMatch>& matches);
    const QString& Subject() const { return options.widthInsensitive ? folded.Text() : text; }
    TextMatch ToOriginal(qsizetype start, qsizetype end) const;

    QString pattern;
    QString foldedPattern;
    SearchOptions options;
    QRegularExpression expression;
    QString errorText;
    QString text;
    FoldedText folded;
    bool timedOut = false;
};

}  // namespace quirtle::editing
