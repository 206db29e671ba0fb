// Character and manuscript-page counts of small manuscripts, worked out by hand.
#include <QtTest>
#include <random>
#include <string>

#include "ConvertManuscript.h"
#include "counts/TextCounts.h"
#include "text/ShiftJis.h"

using quirtle::counts::CountManuscript;
using quirtle::counts::TextCounts;

namespace {

// The counts of a manuscript given as Unicode text with '\n' line breaks.
TextCounts Count(const QString& manuscript) {
    const auto counts = CountManuscript(quirtle::text::EncodeShiftJis(manuscript).bytes);
    if (!counts) qFatal("conversion failed");
    return *counts;
}

std::size_t Characters(const QString& manuscript) {
    return Count(manuscript).characters;
}

}  // namespace

class CountsTest : public QObject {
    Q_OBJECT
  private slots:
    void BlocksCountTheirText() {
        // Heading 3, paragraph 5: each block one line of the page.
        QCOMPARE(Count(u"* 雨の駅\n雨が降る。\n"_qs), (TextCounts{8, 2, 1}));
        // A nested list: two items of one and two characters.
        QCOMPARE(Count(u"- 外\n-- 内側\n"_qs), (TextCounts{3, 2, 1}));
        // A definition: term and description are blocks; the description's leading
        // blank is not shown.
        QCOMPARE(Count(u"! 駅員: 帽子の男\n"_qs), (TextCounts{6, 2, 1}));
        // Quotations and divisions.
        QCOMPARE(Count(u"> 「はい」\n|{letter} 拝啓\n"_qs), (TextCounts{6, 2, 1}));
        // Half-width letters and the full-width space count one each.
        QCOMPARE(Characters(u"Hello, world\n　雨\n"_qs), std::size_t{14});
    }

    // The editor's text reaches the counter as UTF-8: a character beyond the Basic
    // Multilingual Plane (two UTF-16 units, four bytes) is one character, as in Shift_JIS
    // text each character is one.
    void Utf8CountsEveryCharacterOnce() {
        const struct {
            const char16_t* text;
            TextCounts counts;
        } cases[] = {
            {u"𠮟られて剝がれた♡‼😀\n", {11, 1, 1}},
            {u"* 😀😀\n_𠮟[しか]る\n", {4, 2, 1}},
            {u"👨‍👩‍👧 é\n", {7, 1, 1}},  // a joined family: three people, two joiners
            {u"漢字ab\n", {4, 1, 1}},
        };
        for (const auto& c : cases) {
            const QByteArray utf8 = QString::fromUtf16(c.text).toUtf8();
            const auto counts = CountManuscript(std::string_view(utf8.constData(), utf8.size()),
                                                quirtle::TextEncoding::Utf8);
            QVERIFY(counts);
            QCOMPARE(*counts, c.counts);
            // The same as Shift_JIS counts where it can hold the text.
            if (!quirtle::text::EncodeShiftJis(QString::fromUtf16(c.text)).firstUnencodable)
                QCOMPARE(Count(QString::fromUtf16(c.text)), c.counts);
        }
    }

    void MarkupIsNotCounted() {
        // Ruby: the base counts, the reading does not.
        QCOMPARE(Characters(u"_駅舎[えきしゃ]に着いた。"_qs), std::size_t{7});
        // Emphasis and an inline command with parameters: only their text.
        QCOMPARE(Characters(u"_傘*を持つ"_qs), std::size_t{4});
        QCOMPARE(Count(u"_父{person(family#f) \"父 親\"}が来た"_qs), (TextCounts{4, 1, 1}));
        // Escapes count the character they stand for; &, <, > and quotes are one each.
        QCOMPARE(Characters(u"\\_A&B <x> \"q\""_qs), std::size_t{12});
        // Comments, one-line commands, blank lines and section lines without a heading.
        QCOMPARE(Count(u"# コメント\n; もう一つ\n:image(photo) pic.png 320\n\n**\n本文\n"_qs),
                 (TextCounts{2, 1, 1}));
        QCOMPARE(Count(QString()), (TextCounts{0, 0, 0}));
    }

    void IncompleteLinesCountAsShown() {
        // The preview shows a line it cannot read whole, markers included.
        QCOMPARE(Characters(u"*見出し"_qs), std::size_t{4});
        QCOMPARE(Count(u"_やまない\n続き\n"_qs), (TextCounts{7, 2, 1}));
    }

    void ANulByteDoesNotEndTheText() {
        // Every line after the NUL is counted too.
        const QString withNul = QString::fromUtf16(u"前\n中\u0000字\n後\n", 8);
        QCOMPARE(Count(withNul).lines, Count(u"前\n中字\n後\n"_qs).lines);
        QCOMPARE(Count(withNul).lines, std::size_t{3});
    }

    void PagesFollowTheTwentyByTwentyRule() {
        // 19 characters and the indent fill one line; 20 need two; 39 two, 40 three.
        QCOMPARE(Count(QString(19, u'あ')).lines, std::size_t{1});
        QCOMPARE(Count(QString(20, u'あ')).lines, std::size_t{2});
        QCOMPARE(Count(QString(39, u'あ')).lines, std::size_t{2});
        QCOMPARE(Count(QString(40, u'あ')).lines, std::size_t{3});
        // Every paragraph starts a line: 20 one-character paragraphs fill one page, the
        // 21st begins the second.
        QString twenty;
        for (int i = 0; i < 20; ++i) twenty += u"あ\n"_qs;
        QCOMPARE(Count(twenty), (TextCounts{20, 20, 1}));
        QCOMPARE(Count(twenty + u"い"_qs), (TextCounts{21, 21, 2}));
        // A list item holding a nested list: the text before the inner list is a block
        // of its own.
        QCOMPARE(Count(u"- "_qs + QString(19, u'あ') + u"\n-- い\n"_qs), (TextCounts{20, 2, 1}));
    }

    void ExportDocumentsAreReadDirectly() {
        using quirtle::counts::CountExportDocument;
        // A document cut off inside a tag or an entity still gives counts.
        QCOMPARE(CountExportDocument("<document><paragraph>ab</para"), (TextCounts{2, 1, 1}));
        QCOMPARE(CountExportDocument("<paragraph>a&amp"), (TextCounts{2, 1, 1}));
        // A lead byte at the very end counts as one character.
        QCOMPARE(CountExportDocument("<paragraph>a\x82"), (TextCounts{2, 1, 1}));
    }

    // The manuscript export's first page counts with a Python copy of these rules; both
    // must give the same counts of every kind of export text.
    void TheExportScriptsCountTheSame() {
        const QStringList pieces = {QStringLiteral(u"駅舎"),
                                    QStringLiteral(u"_雨[あめ]"),
                                    QStringLiteral(u"_傘*"),
                                    QStringLiteral(u"A&B <x> \"q\""),
                                    QStringLiteral(u"  "),
                                    QStringLiteral(u"ｶﾅ"),
                                    QStringLiteral(u"_父{person \"父 親\"}"),
                                    QStringLiteral(u"\\_"),
                                    QStringLiteral(u"。"),
                                    QStringLiteral(u"　"),
                                    QStringLiteral(u"_閉じない")};
        const QStringList starts = {QString(),
                                    QStringLiteral(u"* "),
                                    QStringLiteral(u"** "),
                                    QStringLiteral(u"- "),
                                    QStringLiteral(u"! "),
                                    QStringLiteral(u"> "),
                                    QStringLiteral(u"|{box} "),
                                    QStringLiteral(u":image a.png "),
                                    QStringLiteral(u"*bad"),
                                    QStringLiteral(u" ")};
        std::mt19937 random(7);
        QString manuscript;
        for (int line = 0; line < 400; ++line) {
            manuscript += starts[random() % starts.size()];
            const int count = static_cast<int>(random() % 30);
            for (int i = 0; i < count; ++i) manuscript += pieces[random() % pieces.size()];
            manuscript += QStringLiteral("\r\n");
            if (random() % 7 == 0) manuscript += QStringLiteral("\r\n");
        }
        std::string xml;
        QVERIFY(quirtle::ConvertManuscript(quirtle::text::EncodeShiftJis(manuscript).bytes,
                                           quirtle::OutputMode::Xml, xml) >= 0);
        const TextCounts counts = quirtle::counts::CountExportDocument(xml);
        QVERIFY(counts.pages > 5);

        QProcess python;
        python.start(QStringLiteral("python3"),
                     {QStringLiteral(QUIRTLE_RUNTIME_DIR "/script/textcounts.py")});
        QVERIFY(python.waitForStarted());
        python.write(xml.data(), static_cast<qint64>(xml.size()));
        python.closeWriteChannel();
        QVERIFY(python.waitForFinished(30000));
        QCOMPARE(python.exitCode(), 0);
        QCOMPARE(
            QString::fromUtf8(python.readAllStandardOutput()).trimmed(),
            QStringLiteral("%1 %2 %3").arg(counts.characters).arg(counts.lines).arg(counts.pages));
    }
};

QTEST_APPLESS_MAIN(CountsTest)
#include "CountsTest.moc"
