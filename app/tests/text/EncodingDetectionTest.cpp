#include <QRandomGenerator>
#include <QTest>
#include <string>

#include "text/EncodingDetection.h"
#include "text/ShiftJis.h"

using namespace quirtle::text;

Q_DECLARE_METATYPE(quirtle::text::TextEncoding)

namespace {

std::string Encoded(const char* charset, const QString& text) {
    const EncodedText encoded = EncodeText(charset, text);
    Q_ASSERT(!encoded.firstUnencodable);
    return encoded.bytes;
}

const QString kProse = QStringLiteral(
    u"雨の駅で、帽子の男は時刻表を見上げていた。\n"
    u"「次の列車は何時ですか」と尋ねると、駅員は黙って首を振った。\n"
    u"待合室のストーブがぱちぱちと音を立て、窓の外では雪が降り始めていた。");

}  // namespace

class EncodingDetectionTest : public QObject {
    Q_OBJECT
  private slots:
    void decidesEachEncoding_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<TextEncoding>("encoding");
        QTest::addColumn<QString>("text");

        const auto row = [](const char* name, const std::string& bytes, TextEncoding encoding,
                            const QString& text) {
            QTest::newRow(name) << QByteArray::fromStdString(bytes) << encoding << text;
        };
        row("Shift_JIS prose", Encoded("CP932", kProse), TextEncoding::ShiftJis, kProse);
        // Half-width kana in Shift_JIS are also valid UTF-8 ("ABCý") and EUC-JP.
        row("Shift_JIS ABCﾃｽ", "ABC\xC3\xBD", TextEncoding::ShiftJis, QStringLiteral(u"ABCﾃｽ"));
        row("Shift_JIS Memo ﾃｽﾄｳ OK", "Memo \xC3\xBD\xC4\xB3 OK", TextEncoding::ShiftJis,
            QStringLiteral(u"Memo ﾃｽﾄｳ OK"));
        row("ASCII", "plain\r\ntext", TextEncoding::ShiftJis, QStringLiteral("plain\ntext"));
        row("empty", "", TextEncoding::ShiftJis, QString());
        row("UTF-8 prose", Encoded("UTF-8", kProse), TextEncoding::Utf8, kProse);
        // Six bytes that are also valid CP932 (three characters) and EUC-JP.
        row("UTF-8 ああ", "\xE3\x81\x82\xE3\x81\x82", TextEncoding::Utf8, QStringLiteral(u"ああ"));
        row("UTF-8 ソ", "\xE3\x82\xBD", TextEncoding::Utf8, QStringLiteral(u"ソ"));
        row("EUC-JP prose", Encoded("EUC-JP", kProse), TextEncoding::EucJp, kProse);
        row("UTF-8 with byte-order mark", "\xEF\xBB\xBF\xE6\x97\xA5\r\n", TextEncoding::Utf8WithBom,
            QStringLiteral(u"日\n"));
        row("UTF-16 LE", std::string("\xFF\xFE\xE5\x65\x2C\x67\x0D\x00\x0A\x00", 10),
            TextEncoding::Utf16LE, QStringLiteral(u"日本\n"));
        row("UTF-16 BE", std::string("\xFE\xFF\x65\xE5\x67\x2C", 6), TextEncoding::Utf16BE,
            QStringLiteral(u"日本"));
    }
    void decidesEachEncoding() {
        QFETCH(QByteArray, bytes);
        QFETCH(TextEncoding, encoding);
        QFETCH(QString, text);
        const auto decoded = DecodeAnyText(std::string_view(bytes.constData(), bytes.size()));
        QVERIFY(decoded.has_value());
        QCOMPARE(decoded->encoding, encoding);
        QCOMPARE(decoded->text, text);
    }

    void refusesWhatNoEncodingExplains_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("lone lead byte") << QByteArray("abc\x82");
        QTest::newRow("0x80 and 0xFF") << QByteArray("\x80\xFF\x80\xFF");
        QTest::newRow("broken UTF-8 after a byte-order mark") << QByteArray("\xEF\xBB\xBF\xE6\x97");
        QTest::newRow("UTF-16 with an odd byte") << QByteArray("\xFF\xFE\x41\x00\x42");
        QTest::newRow("UTF-16 lone surrogate") << QByteArray("\xFF\xFE\x00\xD8\x41\x00", 6);
    }
    void refusesWhatNoEncodingExplains() {
        QFETCH(QByteArray, bytes);
        QVERIFY(!DecodeAnyText(std::string_view(bytes.constData(), bytes.size())));
    }

    void randomBytesAreRefused() {
        // Random data of this length is never valid in any of the candidates.
        QRandomGenerator random(12);
        for (int round = 0; round < 20; ++round) {
            std::string bytes(512, '\0');
            for (char& byte : bytes) byte = static_cast<char>(random.bounded(256));
            if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) continue;
            QVERIFY2(!DecodeAnyText(bytes), qPrintable(QString::number(round)));
        }
    }

    void fallbackCharsetOnlyWhenNothingElseFits() {
        // ISO-8859-1 "café" is not valid in any candidate; the fallback reads it.
        const auto latin = DecodeAnyText("caf\xE9", "ISO-8859-1");
        QVERIFY(latin.has_value());
        QCOMPARE(latin->encoding, TextEncoding::Other);
        QCOMPARE(latin->text, QStringLiteral(u"café"));
        // Valid Shift_JIS is never handed to the fallback.
        QCOMPARE(DecodeAnyText("\x82\xA0", "ISO-8859-1")->encoding, TextEncoding::ShiftJis);
    }

    void encodesInOtherCharsets() {
        const EncodedText utf8 = EncodeText("UTF-8", QStringLiteral(u"ﾃｽﾄ\n😀"));
        QCOMPARE(QByteArray::fromStdString(utf8.bytes),
                 QByteArray("\xEF\xBE\x83\xEF\xBD\xBD\xEF\xBE\x84\r\n\xF0\x9F\x98\x80"));
        QVERIFY(!utf8.firstUnencodable);
        const EncodedText euc = EncodeText("EUC-JP", QStringLiteral(u"あ😀"));
        QCOMPARE(QByteArray::fromStdString(euc.bytes), QByteArray("\xA4\xA2?"));
        QVERIFY(euc.firstUnencodable.has_value());
        // A long text grows the buffer more than once without losing anything.
        const QString many(5000, QChar(u'あ'));
        QCOMPARE(EncodeText("UTF-8", many).bytes.size(), size_t(15000));
    }
};

QTEST_APPLESS_MAIN(EncodingDetectionTest)
#include "EncodingDetectionTest.moc"
