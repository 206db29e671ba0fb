// Finding text plainly and by regular expression, with the width folding Japanese authors
// need and a bound on the work of any pattern.
#include <QtTest>

#include "EditingTests.h"
#include "editing/TextSearch.h"

using namespace quirtle::editing;

namespace {

std::vector<TextMatch> Find(const QString& text, const QString& pattern, SearchOptions options) {
    TextSearch search;
    search.SetPattern(pattern, options);
    search.SetText(text);
    return search.FindAll();
}

// The matched texts, as the original text holds them.
QStringList Found(const QString& text, const QString& pattern, SearchOptions options = {}) {
    QStringList found;
    for (const TextMatch& match : Find(text, pattern, options))
        found.append(text.mid(match.start, match.length));
    return found;
}

}  // namespace

void SearchTest::PlainSearchHonoursCaseAndWidth() {
    const QString text = u"ABC abc ＡＢＣ ａｂｃ カナ ｶﾅ ガ ｶﾞ パ ﾊﾟ　x"_qs;
    SearchOptions exact;
    exact.widthInsensitive = false;
    exact.caseSensitive = true;
    struct Case {
        QString pattern;
        SearchOptions options;
        QStringList expected;
    };
    SearchOptions caseOnly;
    caseOnly.caseSensitive = true;
    const QList<Case> cases = {
        {u"abc"_qs, {}, {u"ABC"_qs, u"abc"_qs, u"ＡＢＣ"_qs, u"ａｂｃ"_qs}},
        {u"abc"_qs, caseOnly, {u"abc"_qs, u"ａｂｃ"_qs}},
        {u"abc"_qs, exact, {u"abc"_qs}},
        {u"カナ"_qs, {}, {u"カナ"_qs, u"ｶﾅ"_qs}},
        {u"ｶﾅ"_qs, {}, {u"カナ"_qs, u"ｶﾅ"_qs}},
        {u"ガ"_qs, {}, {u"ガ"_qs, u"ｶﾞ"_qs}},
        {u"パ"_qs, {}, {u"パ"_qs, u"ﾊﾟ"_qs}},
        {u"カ"_qs, exact, {u"カ"_qs}},
        {u"ﾊﾟ　x"_qs, {}, {u"ﾊﾟ　x"_qs}},
        {u"パ x"_qs, {}, {u"ﾊﾟ　x"_qs}},
        {u"無い"_qs, {}, {}},
    };
    for (const Case& c : cases) QCOMPARE(Found(text, c.pattern, c.options), c.expected);
}

void SearchTest::FoldingMapsPositionsBack() {
    // Every folded position maps to a position of the original that starts the same
    // character, and back.
    const QString text = u"aｶﾞbﾊﾟﾟcＡ\nｳﾞ"_qs;
    const FoldedText folded(text);
    QCOMPARE(folded.Text(), u"aガbパ゜cA\nヴ"_qs);
    for (qsizetype i = 0; i <= folded.Text().size(); ++i) {
        const qsizetype original = folded.Original(i);
        QVERIFY(original >= 0 && original <= text.size());
        QCOMPARE(folded.Folded(original), i);
    }
    QCOMPARE(folded.Original(folded.Text().size()), text.size());
}

void SearchTest::RegularExpressionsWithGroups() {
    SearchOptions regular;
    regular.regularExpression = true;
    const QString text = u"吾輩は猫である。\n名前はまだ無い。\n猫は猫。"_qs;
    QCOMPARE(Found(text, u"^(.)(.)は"_qs, regular), QStringList({u"吾輩は"_qs, u"名前は"_qs}));
    QCOMPARE(Found(text, u"。$"_qs, regular).size(), 3);
    // No match crosses a line end; empty matches are skipped.
    QCOMPARE(Found(text, u"る。.名"_qs, regular), QStringList());
    QCOMPARE(Found(text, u"x*"_qs, regular), QStringList());

    TextSearch search;
    QVERIFY(search.SetPattern(u"(.)は(..)"_qs, regular));
    search.SetText(u"猫は好き\n犬は嫌い\n猫は猫。"_qs);
    const std::vector<TextMatch> matches = search.FindAll();
    QCOMPARE(matches.size(), std::size_t{3});
    QCOMPARE(search.Replacement(matches[0], u"[\\2|\\1|\\0|\\\\|\\9]"_qs),
             u"[好き|猫|猫は好き|\\|]"_qs);
    QCOMPARE(search.ReplaceAll(matches, u"\\2\\1"_qs), u"好き猫\n嫌い犬\n猫。猫"_qs);

    // Groups of a width-folded search give the author's own characters.
    QVERIFY(search.SetPattern(u"(カ)(.)"_qs, regular));
    search.SetText(u"xｶﾞｷ"_qs);
    const std::vector<TextMatch> folded = search.FindAll();
    QCOMPARE(folded.size(), std::size_t{0});
    search.SetText(u"xｶｷ"_qs);
    const std::vector<TextMatch> wide = search.FindAll();
    QCOMPARE(wide.size(), std::size_t{1});
    QCOMPARE(search.Replacement(wide[0], u"\\2\\1"_qs), u"ｷｶ"_qs);

    // A plain search takes the replacement as it is.
    QVERIFY(search.SetPattern(u"ｶ"_qs, {}));
    QCOMPARE(search.ReplaceAll(search.FindAll(), u"\\1"_qs), u"x\\1ｷ"_qs);
}

void SearchTest::InvalidExpressionIsReported() {
    SearchOptions regular;
    regular.regularExpression = true;
    TextSearch search;
    for (const QString& pattern : {u"(猫"_qs, u"a[b"_qs, u"*x"_qs, u"(?<"_qs}) {
        QVERIFY2(!search.SetPattern(pattern, regular), qPrintable(pattern));
        QVERIFY(!search.ErrorText().isEmpty());
        QVERIFY(!search.HasPattern());
        search.SetText(u"猫"_qs);
        QVERIFY(search.FindAll().empty());
    }
    // The error names the author's own position, not one of the added limit.
    QVERIFY(!search.SetPattern(u"ab)"_qs, regular));
    QVERIFY2(search.ErrorText().contains(u"(3 文字目)"_qs), qPrintable(search.ErrorText()));
    QVERIFY(search.SetPattern(u"(猫)"_qs, regular));
    QVERIFY(search.ErrorText().isEmpty());
}

void SearchTest::CatastrophicExpressionEnds() {
    // Nested repeats that never match: every start position is bounded (the whole search
    // also stops at a time limit), so the search ends.
    QString line(3000, u'a');
    QString text;
    for (int i = 0; i < 200; ++i) text += line + u'\n';
    SearchOptions regular;
    regular.regularExpression = true;
    TextSearch search;
    QVERIFY(search.SetPattern(u"(a+)+[^a]"_qs, regular));
    search.SetText(text);
    QVERIFY(search.FindAll().empty());
    // A pattern that finds its matches does not time out.
    QVERIFY(search.SetPattern(u"a+$"_qs, regular));
    QCOMPARE(search.FindAll().size(), std::size_t{200});
    QVERIFY(!search.TimedOut());
}

void SearchTest::SearchWithinARange() {
    const QString text = u"猫 猫 猫 猫"_qs;
    for (const bool regular : {false, true}) {
        SearchOptions options;
        options.regularExpression = regular;
        TextSearch search;
        search.SetPattern(u"猫"_qs, options);
        search.SetText(text);
        const std::vector<TextMatch> inside = search.FindAll(2, 5);
        QCOMPARE(inside.size(), std::size_t{2});
        QCOMPARE(inside.front().start, qsizetype{2});
        // A match that would run past the end of the range is not in it.
        QCOMPARE(search.FindAll(2, 4).size(), std::size_t{1});
    }
}
