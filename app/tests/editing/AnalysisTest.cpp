// The outline and the marks of rejected lines come from the converter's own reading.
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QtTest>

#include "ConvertManuscript.h"
#include "DocumentConverter.h"
#include "EditingTests.h"
#include "editing/ManuscriptAnalysis.h"
#include "editing/MarkupHighlighter.h"
#include "text/ShiftJis.h"
#include "text/Utf8ShiftJis.h"

using namespace quirtle;
using namespace quirtle::editing;

namespace {

ManuscriptAnalysis Analyse(const QString& text) {
    return AnalyseManuscript(text::ToUtf8(text));
}

struct Entry {
    int line;
    int depth;
    QString text;
    bool rejected;
    bool operator==(const Entry&) const = default;
};

QList<Entry> Entries(const ManuscriptAnalysis& analysis) {
    QList<Entry> entries;
    for (const OutlineHeading& h : analysis.headings)
        entries.append({h.line, h.depth, h.text, h.rejected});
    return entries;
}

// The lines the converter rejects, as its own report gives them.
std::vector<int> ConverterRejections(const std::string& bytes) {
    std::vector<int> lines;
    for (const LineRejection& rejection : AnalyseManuscript(bytes).rejections)
        lines.push_back(rejection.line);
    return lines;
}

}  // namespace

void AnalysisTest::HeadingsNestAsSectionsNest() {
    const QString text =
        u"前書き\n* 一章\n** 一節 _雨[あめ]と_傘*\n本文\n*** 深い\n** 二節\n"
        "*(intro#top) 二章 A&B <x>\n**\n\n**** 飛んだ\n* 三章\n- * 項目\n"_qs;
    const QList<Entry> expected = {
        {1, 1, u"一章"_qs, false},
        {2, 2, u"一節 雨と傘"_qs, false},
        {4, 3, u"深い"_qs, false},
        {5, 2, u"二節"_qs, false},
        {6, 1, u"二章 A&B <x>"_qs, false},
        {7, 2, QString(), false},
        // A skipped depth gets an implicit section: the heading nests as deep as that.
        {9, 4, u"飛んだ"_qs, false},
        {10, 1, u"三章"_qs, false},
    };
    QCOMPARE(Entries(Analyse(text)), expected);
    // Without a section open, a deeper first heading still nests under implicit sections.
    QCOMPARE(Entries(Analyse(u"** 一\n** 二\n"_qs)),
             (QList<Entry>{{0, 2, u"一"_qs, false}, {1, 2, u"二"_qs, false}}));
}

void AnalysisTest::RejectedHeadingsAreListedAndMarked() {
    const ManuscriptAnalysis analysis =
        Analyse(u"* 一章\n*見出し\n** _閉じない\n本文_やまない\n*** 深い\n"_qs);
    const QList<Entry> expected = {
        {0, 1, u"一章"_qs, false},
        {1, 1, u"*見出し"_qs, true},
        {2, 2, u"** _閉じない"_qs, true},
        // One implicit section stands for the skipped depth.
        {4, 2, u"深い"_qs, false},
    };
    QCOMPARE(Entries(analysis), expected);
    QCOMPARE(analysis.rejections.size(), std::size_t{3});
    QCOMPARE(analysis.rejections[0], (LineRejection{1, statusNoSpaceAfterMarker}));
    QCOMPARE(analysis.rejections[2].line, 3);
    QVERIFY(RejectionReason(statusNoSpaceAfterMarker) != RejectionReason(statusFail));
}

void AnalysisTest::HeadingsCountTheirCharacters() {
    // A heading counts itself and the text up to the next heading, as the status bar does.
    const ManuscriptAnalysis analysis =
        Analyse(u"* 雨\n雨が降る。\n_駅舎[えきしゃ]\n# 注\n** 傘\n- 一本\n"_qs);
    QCOMPARE(analysis.headings.size(), std::size_t{2});
    QCOMPARE(analysis.headings[0].characters, std::size_t{1 + 5 + 2});
    QCOMPARE(analysis.headings[1].characters, std::size_t{1 + 2});
}

void AnalysisTest::LexerKnowsTheTokenKinds() {
    using K = TokenKind;
    struct Case {
        QString line;
        std::vector<Token> tokens;
    };
    const QList<Case> cases = {
        {u"# 注"_qs, {{K::Comment, 0, 3}}},
        {u"; 注"_qs, {{K::Comment, 0, 3}}},
        {u":image(photo) a.png"_qs, {{K::Marker, 0, 1}, {K::Command, 1, 18}}},
        {u"** 節"_qs, {{K::Marker, 0, 2}, {K::Heading, 2, 2}}},
        {u"*(a#b) 序"_qs, {{K::Marker, 0, 1}, {K::Attributes, 1, 5}, {K::Heading, 6, 2}}},
        {u"|{letter(o) \"a)\"} 拝"_qs, {{K::Marker, 0, 1}, {K::Attributes, 1, 16}}},
        {u"-- 項"_qs, {{K::Marker, 0, 2}}},
        {u"_駅[えき]"_qs,
         {{K::RubyBase, 1, 1},
          {K::InlineMarker, 0, 1},
          {K::InlineMarker, 2, 1},
          {K::RubyReading, 3, 2},
          {K::InlineMarker, 5, 1}}},
        {u"a_傘*\\_"_qs,
         {{K::Emphasis, 2, 1},
          {K::InlineMarker, 1, 1},
          {K::InlineMarker, 3, 1},
          {K::Escape, 4, 2}}},
        {u"_父{p \"}\"}x"_qs, {{K::InlineMarker, 0, 1}, {K::Command, 2, 7}}},
        {u"__内*[そ]"_qs,
         {{K::RubyBase, 1, 3},
          {K::Emphasis, 2, 1},
          {K::InlineMarker, 0, 1},
          {K::InlineMarker, 1, 1},
          {K::InlineMarker, 3, 1},
          {K::InlineMarker, 4, 1},
          {K::RubyReading, 5, 1},
          {K::InlineMarker, 6, 1}}},
        {u"ただの文 * ]"_qs, {}},
    };
    for (const Case& c : cases) {
        const std::vector<Token> tokens = LexLine(c.line);
        QVERIFY2(tokens == c.tokens, qPrintable(c.line));
    }
}

void AnalysisTest::HighlighterMarksExactlyTheConvertersRejections() {
    // Generated manuscripts of good and bad lines: the lines the highlighter marks while
    // the text is typed equal the converter's incomplete blocks, line for line.
    const QStringList pieces = {u"* 章"_qs,       u"*見出し"_qs,      u"** 節"_qs,
                                u"- 項"_qs,       u"-- 入れ子"_qs,    u"--- 飛ぶ"_qs,
                                u"! 語: 説明"_qs, u"> 引用"_qs,       u"|{div} 区"_qs,
                                u"|{1bad} 区"_qs, u"| 続き"_qs,       u"_雨[あめ]"_qs,
                                u"_やまない"_qs,  u"_読み[よみ"_qs,   u"本文\\"_qs,
                                u"本文\\\\"_qs,   u"# 注"_qs,         u":image a.png"_qs,
                                u""_qs,           u"_強調*"_qs,       u"*(x 閉じない"_qs,
                                u">> 深い"_qs,    u"-(warn) 注意"_qs, u"!! 深い語: x"_qs};
    QRandomGenerator random(21);
    for (int round = 0; round < 30; ++round) {
        QStringList lines;
        for (int i = 0; i < 40; ++i) lines.append(pieces[random.bounded(pieces.size())]);
        QPlainTextEdit editor;
        MarkupHighlighter highlighter(editor.document());
        editor.setPlainText(lines.join(u'\n'));
        std::vector<int> marked;
        for (int line = 0; line < lines.size(); ++line) {
            if (highlighter.Rejection(line) < 0) marked.push_back(line);
        }
        const std::vector<int> rejected = ConverterRejections(text::ToUtf8(editor.toPlainText()));
        for (int line = 0; line < lines.size(); ++line) {
            const bool a = std::find(marked.begin(), marked.end(), line) != marked.end();
            const bool b = std::find(rejected.begin(), rejected.end(), line) != rejected.end();
            if (a != b)
                qWarning("line %d %s: marked %d converter %d", line, qPrintable(lines[line]), a, b);
        }
        QVERIFY2(marked == rejected, qPrintable(lines.join(u" / ")));

        // The tick's analysis agrees, and marks lines edited into mistakes.
        QTextCursor cursor(editor.document()->findBlockByNumber(0));
        cursor.insertText(u"*"_qs);
        const ManuscriptAnalysis analysis = AnalyseManuscript(text::ToUtf8(editor.toPlainText()));
        highlighter.ApplyRejections(analysis.rejections, editor.document()->revision());
        for (int line = 0; line < lines.size(); ++line) {
            const bool inAnalysis =
                std::any_of(analysis.rejections.begin(), analysis.rejections.end(),
                            [line](const LineRejection& r) { return r.line == line; });
            QCOMPARE(highlighter.Rejection(line) < 0, inAnalysis);
        }
    }
}
