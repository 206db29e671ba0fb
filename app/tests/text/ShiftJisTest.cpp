#include <QTest>

#include "text/ShiftJis.h"

using quirtle::text::DecodeShiftJis;
using quirtle::text::EncodeShiftJis;

class ShiftJisTest : public QObject {
    Q_OBJECT
  private slots:
    void encodesJapaneseWithTrailByte5C() {
        // "ソ表\" : both kanji/kana have 0x5C as their second byte.
        const auto encoded = EncodeShiftJis(u"ソ表\\");
        QCOMPARE(QByteArray::fromStdString(encoded.bytes), QByteArray("\x83\x5C\x95\x5C\x5C"));
        QVERIFY(!encoded.firstUnencodable);
    }

    void everyLineBreakBecomesCrLf() {
        const auto encoded = EncodeShiftJis(u"a\nb\r\nc\rd\u2029e\n");
        QCOMPARE(QByteArray::fromStdString(encoded.bytes), QByteArray("a\r\nb\r\nc\r\nd\r\ne\r\n"));
    }

    void reportsFirstUnencodableCharacterAndItsLine() {
        const auto encoded = EncodeShiftJis(QString::fromUtf8("一\n二\n三😀四\u00e9"));
        QVERIFY(encoded.firstUnencodable.has_value());
        QCOMPARE(encoded.firstUnencodable->character, char32_t(0x1F600));
        QCOMPARE(encoded.firstUnencodable->line, 3);
        // Replaced, never dropped silently: the rest of the text is still there.
        QCOMPARE(QByteArray::fromStdString(encoded.bytes),
                 QByteArray("\x88\xea\r\n\x93\xf1\r\n\x8e\x4f?\x8e\x6c?"));
    }

    void decodesAndNormalisesLineBreaks() {
        const auto text = DecodeShiftJis("\x83\x5C\r\n\x95\x5C\rx\ny");
        QVERIFY(text.has_value());
        QCOMPARE(*text, QStringLiteral(u"ソ\n表\nx\ny"));
    }

    void roundTripKeepsTheText() {
        const QString original =
            QStringLiteral(u"＊見出し\n本文の_ruby[漢字|かんじ]です。\nソ表能\n");
        const auto encoded = EncodeShiftJis(original);
        QVERIFY(!encoded.firstUnencodable);
        const auto decoded = DecodeShiftJis(encoded.bytes);
        QVERIFY(decoded.has_value());
        QCOMPARE(*decoded, original);
    }

    void rejectsBytesThatAreNotShiftJis() {
        QVERIFY(!DecodeShiftJis("a\x81\x20").has_value());  // trail byte out of range
        QVERIFY(!DecodeShiftJis("\xFF").has_value());
        QVERIFY(!DecodeShiftJis("abc\x83").has_value());  // lead byte at the end
        QVERIFY(DecodeShiftJis("").has_value());
    }

    void convertsToUtf8AsItIs() {
        using quirtle::text::ShiftJisToUtf8;
        // Trail byte 0x5C, half-width katakana (one byte, three in UTF-8), line breaks kept.
        const auto utf8 = ShiftJisToUtf8("\x83\x5C\x95\x5C\\\r\n\xB6\xC5\rx");
        QVERIFY(utf8.has_value());
        QCOMPARE(QString::fromStdString(*utf8), QStringLiteral(u"ソ表\\\r\nｶﾅ\rx"));
        // Every two-byte character of the whole code page, once.
        std::string all;
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (lead >= 0xA0 && lead < 0xE0) continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                const char pair[] = {static_cast<char>(lead), static_cast<char>(trail)};
                if (DecodeShiftJis(std::string_view(pair, 2))) all.append(pair, 2);
            }
        }
        const auto allUtf8 = ShiftJisToUtf8(all);
        QVERIFY(allUtf8.has_value());
        QCOMPARE(QString::fromStdString(*allUtf8), *DecodeShiftJis(all));
        QVERIFY(!ShiftJisToUtf8("abc\x83").has_value());
        QVERIFY(!ShiftJisToUtf8("a\x81\x20").has_value());
        QCOMPARE(ShiftJisToUtf8(""), std::optional<std::string>(""));
    }

    void recognisesUtf8Text() {
        using quirtle::text::LooksLikeUtf8;
        QVERIFY(LooksLikeUtf8("\xE6\x97\xA5\xE6\x9C\xAC"));  // "日本"
        QVERIFY(LooksLikeUtf8("\xEF\xBB\xBF" "abc"));        // byte-order mark
        QVERIFY(!LooksLikeUtf8("plain ASCII\r\n"));          // both encodings agree
        QVERIFY(!LooksLikeUtf8("\x83\x5C\x95\x5C"));         // Shift_JIS "ソ表"
        QVERIFY(!LooksLikeUtf8("\x82\xa0\x82\xa2"));         // Shift_JIS "あい"
    }
};

QTEST_APPLESS_MAIN(ShiftJisTest)
#include "ShiftJisTest.moc"
