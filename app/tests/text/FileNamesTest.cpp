// File names as bytes: every byte string survives the way into the program's text and
// back, and names that are valid UTF-8 read as Qt reads them.
#include <QtTest>
#include <random>

#include "text/FileNames.h"

using namespace quirtle::text;

class FileNamesTest : public QObject {
    Q_OBJECT
  private slots:
    void everyByteStringComesBack() {
        std::mt19937 random(20);
        for (int i = 0; i < 20000; ++i) {
            QByteArray bytes(int(random() % 12), '\0');
            for (char& byte : bytes) {
                // Mostly bytes that make or break UTF-8 sequences.
                const unsigned pick = random() % 4;
                byte = char(pick == 0 ? random() % 0x80 : 0x80 + random() % 0x80);
            }
            const QString name = FileNameFromBytes(bytes);
            QCOMPARE(FileNameToBytes(name), bytes);
            if (IsValidUtf8(bytes)) QCOMPARE(name, QString::fromUtf8(bytes));
        }
    }

    void namesAndHowTheyAreShown_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("shown");
        QTest::newRow("utf-8") << QByteArray("原稿.txt") << true << QStringLiteral("原稿.txt");
        QTest::newRow("astral") << QByteArray("\xf0\xa0\xae\xb7") << true << QStringLiteral("𠮷");
        QTest::newRow("cp932") << QByteArray("\x8c\xb4\x8d\x65.txt") << false
                               << QStringLiteral("\\x8C\\xB4\\x8De.txt");
        QTest::newRow("overlong /")
            << QByteArray("\xc0\xaf") << false << QStringLiteral("\\xC0\\xAF");
        QTest::newRow("encoded surrogate")
            << QByteArray("\xed\xb2\x80") << false << QStringLiteral("\\xED\\xB2\\x80");
        QTest::newRow("cut short")
            << QByteArray("a\xe5\x8e") << false << QStringLiteral("a\\xE5\\x8E");
    }
    void namesAndHowTheyAreShown() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QFETCH(QString, shown);
        QCOMPARE(IsValidUtf8(bytes), valid);
        QCOMPARE(ShownFileName(FileNameFromBytes(bytes)), shown);
        QCOMPARE(FileNameToBytes(FileNameFromBytes(bytes)), bytes);
    }
};

QTEST_MAIN(FileNamesTest)
#include "FileNamesTest.moc"
