#include "editing/MarkupHighlighter.h"

#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

#include "text/Utf8ShiftJis.h"

namespace quirtle::editing {

namespace {

// How far back the line being typed looks for list lines that decide its level.
constexpr int kContextLines = 64;

bool IsListMarker(QChar c) {
    return c == u'-' || c == u'!' || c == u'>' || c == u'|';
}

// The end of a group opened at `at` by `open` and closed by `close` (quotes group, and a
// backslash takes the next character inside them); -1 when it does not close.
int GroupEnd(const QString& line, int at, QChar close) {
    bool quoted = false;
    for (int i = at + 1; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == u'\\') {
                ++i;
            } else if (c == u'"') {
                quoted = false;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == close) {
            return i;
        }
    }
    return -1;
}

// Inline markup from `from` on: elements first (outer before inner), then markers and
// escapes over them.
void LexInline(const QString& line, int from, std::vector<Token>& tokens) {
    std::vector<Token> elements;
    std::vector<Token> marks;
    std::vector<int> open;  // where the text of each open element starts
    for (int i = from; i < line.size();) {
        const QChar c = line.at(i);
        if (c == u'\\') {
            const int length = std::min(2, static_cast<int>(line.size()) - i);
            marks.push_back({TokenKind::Escape, i, length});
            i += length;
        } else if (c == u'_') {
            marks.push_back({TokenKind::InlineMarker, i, 1});
            open.push_back(++i);
        } else if (c == u'*' && !open.empty()) {
            elements.push_back({TokenKind::Emphasis, open.back(), i - open.back()});
            open.pop_back();
            marks.push_back({TokenKind::InlineMarker, i++, 1});
        } else if (c == u'[' && !open.empty()) {
            elements.push_back({TokenKind::RubyBase, open.back(), i - open.back()});
            open.pop_back();
            marks.push_back({TokenKind::InlineMarker, i, 1});
            int end = i + 1;
            while (end < line.size() && line.at(end) != u']') end += line.at(end) == u'\\' ? 2 : 1;
            end = std::min(end, static_cast<int>(line.size()));
            marks.push_back({TokenKind::RubyReading, i + 1, end - i - 1});
            if (end < line.size()) marks.push_back({TokenKind::InlineMarker, end, 1});
            i = end + 1;
        } else if (c == u'{' && !open.empty()) {
            open.pop_back();
            int end = GroupEnd(line, i, u'}');
            if (end < 0) end = static_cast<int>(line.size()) - 1;
            marks.push_back({TokenKind::Command, i, end - i + 1});
            i = end + 1;
        } else {
            ++i;
        }
    }
    std::sort(elements.begin(), elements.end(), [](const Token& a, const Token& b) {
        return a.start != b.start ? a.start < b.start : a.length > b.length;
    });
    tokens.insert(tokens.end(), elements.begin(), elements.end());
    tokens.insert(tokens.end(), marks.begin(), marks.end());
}

// A block's ( class # id ) group at `at`, if there is one; returns where the text starts.
int LexAttributes(const QString& line, int at, std::vector<Token>& tokens) {
    if (at < line.size() && line.at(at) == u'(') {
        int end = GroupEnd(line, at, u')');
        if (end < 0) end = static_cast<int>(line.size()) - 1;
        tokens.push_back({TokenKind::Attributes, at, end - at + 1});
        return end + 1;
    }
    return at;
}

}  // namespace

std::vector<Token> LexLine(const QString& line) {
    std::vector<Token> tokens;
    if (line.isEmpty()) return tokens;
    const QChar first = line.at(0);
    const int size = static_cast<int>(line.size());
    if (first == u'#' || first == u';') {
        tokens.push_back({TokenKind::Comment, 0, size});
        return tokens;
    }
    if (first == u':') {
        tokens.push_back({TokenKind::Marker, 0, 1});
        if (size > 1) tokens.push_back({TokenKind::Command, 1, size - 1});
        return tokens;
    }
    if (first == u'*' || IsListMarker(first)) {
        int markers = 0;
        while (markers < size && line.at(markers) == first) ++markers;
        tokens.push_back({TokenKind::Marker, 0, markers});
        int at = markers;
        if (first == u'|' && at < size && line.at(at) == u'{') {
            int end = GroupEnd(line, at, u'}');
            if (end < 0) end = size - 1;
            tokens.push_back({TokenKind::Attributes, at, end - at + 1});
            at = end + 1;
        }
        at = LexAttributes(line, at, tokens);
        if (first == u'*' && at < size) tokens.push_back({TokenKind::Heading, at, size - at});
        LexInline(line, at, tokens);
        return tokens;
    }
    LexInline(line, 0, tokens);
    return tokens;
}

namespace {

// What the converter said of a block: from the analysis (valid while the block is as it
// was analysed) and from the check made when it was last coloured.
struct LineVerdict : QTextBlockUserData {
    int analysedRevision = -1;
    int32_t analysedStatus = 0;
    int checkedRevision = -1;
    bool checkedWithNext = false;  // a line followed the checked one
    int32_t checkedStatus = 0;
};

LineVerdict* VerdictOf(const QTextBlock& block) {
    return static_cast<LineVerdict*>(block.userData());
}

QTextCharFormat Coloured(const QColor& colour, bool bold = false) {
    QTextCharFormat format;
    format.setForeground(colour);
    if (bold) format.setFontWeight(QFont::Bold);
    return format;
}

}  // namespace

MarkupHighlighter::MarkupHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
    auto at = [this](TokenKind kind) -> QTextCharFormat& {
        return formats[static_cast<int>(kind)];
    };
    at(TokenKind::Marker) = Coloured(QColor(0x1f, 0x5f, 0xbf), true);
    at(TokenKind::Attributes) = Coloured(QColor(0x00, 0x80, 0x80));
    at(TokenKind::Heading) = Coloured(QColor(0x80, 0x30, 0x00), true);
    at(TokenKind::Command) = Coloured(QColor(0x80, 0x00, 0x80));
    at(TokenKind::InlineMarker) = Coloured(QColor(0x1f, 0x5f, 0xbf), true);
    at(TokenKind::RubyBase) = Coloured(QColor(0x00, 0x60, 0x00));
    at(TokenKind::RubyReading) = Coloured(QColor(0x60, 0x90, 0x20));
    at(TokenKind::Emphasis) = Coloured(QColor(0xb0, 0x50, 0x00), true);
    at(TokenKind::Escape) = Coloured(QColor(0x90, 0x70, 0x00));
    at(TokenKind::Comment) = Coloured(QColor(0x88, 0x88, 0x88));
    // Headings: the outer sections darker and larger steps of colour.
    headingFormats[0] = Coloured(QColor(0x90, 0x20, 0x00), true);
    headingFormats[1] = Coloured(QColor(0xa0, 0x50, 0x00), true);
    headingFormats[2] = Coloured(QColor(0x90, 0x70, 0x30), true);
}

int32_t MarkupHighlighter::CheckNow(const QTextBlock& block) const {
    // Only list lines depend on the lines before them (their level, their container).
    QString lines = block.text();
    if (!lines.isEmpty() && IsListMarker(lines.at(0))) {
        QTextBlock before = block.previous();
        for (int i = 0; i < kContextLines && before.isValid(); ++i, before = before.previous()) {
            const QString text = before.text();
            if (text.isEmpty()) break;
            const QChar first = text.at(0);
            if (!IsListMarker(first) && first != u'#' && first != u';' && first != u':') break;
            lines.prepend(text + u'\n');
        }
    }
    // A line break after every line but the text's last, as the whole text has them: the
    // converter reads a backslash at the very end of the text differently.
    if (block.next().isValid()) lines += u'\n';
    return LastLineRejection(text::ToUtf8(lines));
}

void MarkupHighlighter::highlightBlock(const QString& text) {
    const QTextBlock block = currentBlock();
    int depth = 0;
    for (const Token& token : LexLine(text)) {
        if (token.kind == TokenKind::Marker && !text.isEmpty() && text.at(0) == u'*')
            depth = token.length;
        const QTextCharFormat& format = token.kind == TokenKind::Heading
                                            ? headingFormats[std::clamp(depth, 1, 3) - 1]
                                            : formats[static_cast<int>(token.kind)];
        setFormat(token.start, token.length, format);
    }

    auto* verdict = VerdictOf(block);
    if (!verdict) {
        verdict = new LineVerdict;
        setCurrentBlockUserData(verdict);
    }
    int32_t status = 0;
    if (verdict->analysedRevision == block.revision()) {
        status = verdict->analysedStatus;
    } else {
        const bool withNext = block.next().isValid();
        if (verdict->checkedRevision != block.revision() || verdict->checkedWithNext != withNext) {
            verdict->checkedStatus = CheckNow(block);
            verdict->checkedRevision = block.revision();
            verdict->checkedWithNext = withNext;
        }
        status = verdict->checkedStatus;
    }
    if (status < 0) {
        for (int i = 0; i < text.size(); ++i) {
            QTextCharFormat marked = format(i);
            marked.setUnderlineStyle(QTextCharFormat::WaveUnderline);
            marked.setUnderlineColor(Qt::red);
            marked.setBackground(QColor(0xff, 0xe8, 0xe8));
            setFormat(i, 1, marked);
        }
    }
}

void MarkupHighlighter::ApplyRejections(const std::vector<LineRejection>& rejections,
                                        int revision) {
    QTextDocument* text = document();
    if (!text || text->revision() != revision) return;
    auto next = rejections.begin();
    for (QTextBlock block = text->begin(); block.isValid(); block = block.next()) {
        while (next != rejections.end() && next->line < block.blockNumber()) ++next;
        const int32_t status =
            next != rejections.end() && next->line == block.blockNumber() ? next->status : 0;
        auto* verdict = VerdictOf(block);
        const int32_t shown = !verdict ? 0
                              : verdict->analysedRevision == block.revision()
                                  ? verdict->analysedStatus
                                  : verdict->checkedStatus;
        if (!verdict) {
            verdict = new LineVerdict;
            block.setUserData(verdict);
        }
        verdict->analysedRevision = block.revision();
        verdict->analysedStatus = status;
        if ((shown < 0) != (status < 0)) rehighlightBlock(block);
    }
}

int32_t MarkupHighlighter::Rejection(int line) const {
    const QTextBlock block = document() ? document()->findBlockByNumber(line) : QTextBlock();
    const auto* verdict = block.isValid() ? VerdictOf(block) : nullptr;
    if (!verdict) return 0;
    return verdict->analysedRevision == block.revision() ? verdict->analysedStatus
                                                         : verdict->checkedStatus;
}

}  // namespace quirtle::editing
