#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <vector>

#include "editing/ManuscriptAnalysis.h"

class QTextDocument;

namespace quirtle::editing {

// What a stretch of a manuscript line is, as the converter reads the line forms.
enum class TokenKind {
    Marker,        // the line's markers: * - ! > | and the ':' of a one-line command
    Attributes,    // a block's ( class # id ) group or a division's { head }
    Heading,       // the text of a section line
    Command,       // a one-line command's name and parameters, an inline command's { head }
    InlineMarker,  // the _ that opens an inline element and its closer * ] }
    RubyBase,
    RubyReading,
    Emphasis,
    Escape,   // a backslash and the character it takes
    Comment,  // # and ; lines
};

struct Token {
    TokenKind kind;
    int start = 0;
    int length = 0;
    bool operator==(const Token&) const = default;
};

// The tokens of one line, in order of their start (inner elements after outer ones).
std::vector<Token> LexLine(const QString& line);

// Colours the manuscript as the converter reads it: markers, attribute groups, headings
// by depth, ruby, emphasis, commands, escapes and comments; every line the converter
// rejects gets a red wavy underline. The line being typed is asked of the converter at
// once (with the list lines before it as its context); the whole text's verdict comes from
// the analysis made at the preview tick, which wins for lines unchanged since.
class MarkupHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
  public:
    explicit MarkupHighlighter(QTextDocument* document);

    // Takes the rejections of an analysis of the text at document revision `revision`;
    // ignored when the text has changed since. Lines whose mark changes are coloured again.
    void ApplyRejections(const std::vector<LineRejection>& rejections, int revision);
    // The status the line is rejected with, 0 when it is read.
    int32_t Rejection(int line) const;

  protected:
    void highlightBlock(const QString& text) override;

  private:
    int32_t CheckNow(const QTextBlock& block) const;
    QTextCharFormat formats[static_cast<int>(TokenKind::Comment) + 1];
    QTextCharFormat headingFormats[3];
};

}  // namespace quirtle::editing
