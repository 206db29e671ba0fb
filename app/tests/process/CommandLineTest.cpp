#include <QTest>
#include <string>
#include <vector>

#include "process/CommandLine.h"

using quirtle::process::SplitArguments;
using quirtle::process::SplitCommandLine;
using Args = std::vector<std::string>;

Q_DECLARE_METATYPE(Args)

class CommandLineTest : public QObject {
    Q_OBJECT
  private slots:
    void splitsArguments_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Args>("expected");
        QTest::newRow("blanks and tabs") << QByteArray("a  b\tc ") << Args{"a", "b", "c"};
        QTest::newRow("quotes group") << QByteArray("\"a b\" c") << Args{"a b", "c"};
        QTest::newRow("quote inside word") << QByteArray("x\"a b\"y") << Args{"xa by"};
        QTest::newRow("lone backslashes literal") << QByteArray("a\\b\\\\c") << Args{"a\\b\\\\c"};
        QTest::newRow("odd backslashes escape quote") << QByteArray("a\\\"b") << Args{"a\"b"};
        QTest::newRow("three backslashes") << QByteArray("a\\\\\\\"b") << Args{"a\\\"b"};
        QTest::newRow("even backslashes then quote groups")
            << QByteArray("a\\\\\"b c\"") << Args{"a\\b c"};
        QTest::newRow("doubled quote inside quotes")
            << QByteArray("\"a\"\"b\" c") << Args{"a\"b", "c"};
        QTest::newRow("empty quoted argument") << QByteArray("\"\" x") << Args{"", "x"};
        QTest::newRow("unclosed quote runs to end") << QByteArray("\"a b") << Args{"a b"};
        QTest::newRow("trailing backslashes") << QByteArray("a\\\\") << Args{"a\\\\"};
        QTest::newRow("empty") << QByteArray("") << Args{};
        QTest::newRow("only blanks") << QByteArray(" \t ") << Args{};
        // 0x95 0x5C is one Shift_JIS character: its second byte is no backslash, so the
        // quote after it groups instead of being escaped.
        QTest::newRow("Shift_JIS trail byte 0x5C") << QByteArray("\x95\x5C\"a b\"")
                                                   << Args{
                                                          "\x95\x5C"
                                                          "a b"};
        QTest::newRow("lead byte at the end") << QByteArray("a \x95") << Args{"a", "\x95"};
    }
    void splitsArguments() {
        QFETCH(QByteArray, text);
        QFETCH(Args, expected);
        QCOMPARE(SplitArguments(text.toStdString()), expected);
    }

    void programNameKeepsBackslashesAndDropsQuotes() {
        QCOMPARE(SplitCommandLine("\"C:\\Program Files\\x.exe\" -u"),
                 (Args{"C:\\Program Files\\x.exe", "-u"}));
        // In the program name a backslash never escapes: the quote still toggles.
        QCOMPARE(SplitCommandLine("a\\\"b c\" d"), (Args{"a\\b c", "d"}));
        // After the program name the argument rules apply.
        QCOMPARE(SplitCommandLine("p a\\\"b"), (Args{"p", "a\"b"}));
    }

    void programNameAfterBlanksAndAlone() {
        QCOMPARE(SplitCommandLine("  python3"), (Args{"python3"}));
        QCOMPARE(SplitCommandLine("/usr/bin/python3 -X utf8"),
                 (Args{"/usr/bin/python3", "-X", "utf8"}));
        QCOMPARE(SplitCommandLine(""), Args{});
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
