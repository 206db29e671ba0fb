// Starting the desktop's default editor from its desktop entry, and the wait options.
#include <QTest>

#include "export/EditorLaunch.h"
#include "platform/DesktopEntry.h"

using namespace quirtle;

class EditorLaunchTest : public QObject {
    Q_OBJECT
  private slots:
    void execValueOfTheMainGroup() {
        QCOMPARE(ExecOfDesktopEntry(QStringLiteral("[Desktop Action new]\nExec=other\n"
                                                   "[Desktop Entry]\nName=E\nExec = ed %f \n")),
                 std::optional<QString>(QStringLiteral("ed %f")));
        QCOMPARE(ExecOfDesktopEntry(QStringLiteral("[Desktop Entry]\nExecutable=x\n")),
                 std::nullopt);
        // The entry's own escapes come first: "\\\\" in the file is one backslash for the
        // Exec quoting, "\s" a space.
        QCOMPARE(ExecOfDesktopEntry(
                     QStringLiteral("[Desktop Entry]\nExec=\"/opt/a\\\\\\\\b\" x\\sy %U")),
                 std::optional<QString>(QStringLiteral("\"/opt/a\\\\b\" x y %U")));
    }

    void splitsLikeTheDesktopEntryQuoting_data() {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("plain") << "gedit %U" << QStringList{"gedit", "%U"};
        QTest::newRow("quoted path")
            << "\"/opt/my editor/bin/edit\" --x" << QStringList{"/opt/my editor/bin/edit", "--x"};
        QTest::newRow("escapes in quotes") << "sh -c \"echo \\\"\\$1\\\" \\\\ \\`x\\`\""
                                           << QStringList{"sh", "-c", "echo \"$1\" \\ `x`"};
        QTest::newRow("empty quoted argument") << "prog \"\" a" << QStringList{"prog", "", "a"};
        QTest::newRow("extra spaces") << "  prog   a  " << QStringList{"prog", "a"};
    }
    void splitsLikeTheDesktopEntryQuoting() {
        QFETCH(QString, exec);
        QFETCH(QStringList, arguments);
        QCOMPARE(SplitExecValue(exec), std::optional<QStringList>(arguments));
    }

    void malformedValuesGiveNoCommand() {
        QCOMPARE(SplitExecValue(QStringLiteral("prog \"unclosed")), std::nullopt);
        QCOMPARE(SplitExecValue(QStringLiteral("   ")), std::nullopt);
        QCOMPARE(EditorCommandFromExec(QStringLiteral("%i %c"), "/tmp/f"), std::nullopt);
    }

    void fieldCodesBecomeTheFileOrGo_data() {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QStringList>("command");
        const QString f = QStringLiteral("/tmp/QRT1.tmp");
        QTest::newRow("%f") << "ed %f" << QStringList{"ed", f};
        QTest::newRow("%F") << "ed %F" << QStringList{"ed", f};
        QTest::newRow("%u") << "ed %u" << QStringList{"ed", f};
        QTest::newRow("%U") << "ed -a %U -b" << QStringList{"ed", "-a", f, "-b"};
        QTest::newRow("others dropped")
            << "ed %i %c %k %d %D %n %N %v %m %f" << QStringList{"ed", f};
        QTest::newRow("percent sign") << "ed --p=100%% %f" << QStringList{"ed", "--p=100%", f};
        QTest::newRow("inside an argument") << "ed --file=%f" << QStringList{"ed", "--file=" + f};
        QTest::newRow("no code: file added") << "ed -x" << QStringList{"ed", "-x", f};
    }
    void fieldCodesBecomeTheFileOrGo() {
        QFETCH(QString, exec);
        QFETCH(QStringList, command);
        QCOMPARE(EditorCommandFromExec(exec, QStringLiteral("/tmp/QRT1.tmp")),
                 std::optional<QStringList>(command));
    }

    void wellKnownEditorsWait() {
        const QString f = QStringLiteral("/tmp/QRT1.tmp");
        QCOMPARE(EditorCommandFromExec(QStringLiteral("gedit %U"), f),
                 std::optional<QStringList>({"gedit", "--wait", f}));
        QCOMPARE(EditorCommandFromExec(QStringLiteral("/usr/bin/mousepad %U"), f),
                 std::optional<QStringList>({"/usr/bin/mousepad", "--disable-server", f}));
        QCOMPARE(EditorCommandFromExec(QStringLiteral("kate -b %U"), f),
                 std::optional<QStringList>({"kate", "--block", "-b", f}));
        // Given once only.
        QCOMPARE(EditorCommandFromExec(QStringLiteral("code --wait %F"), f),
                 std::optional<QStringList>({"code", "--wait", f}));
        QCOMPARE(EditorCommandForProgram(QStringLiteral("/usr/bin/gnome-text-editor"), f),
                 QStringList({"/usr/bin/gnome-text-editor", "--standalone", f}));
        // Unknown programs, and names that only end like a known one, get nothing.
        QCOMPARE(EditorCommandForProgram(QStringLiteral("/usr/bin/vi"), f),
                 QStringList({"/usr/bin/vi", f}));
        QVERIFY(WaitOption(QStringLiteral("/opt/xgedit")).isEmpty());
        QVERIFY(WaitOption(QStringLiteral("/usr/bin/gedit\n")).isEmpty());
    }
};

QTEST_APPLESS_MAIN(EditorLaunchTest)
#include "EditorLaunchTest.moc"
