#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "documents/TestFiles.h"
#include "export/SameFile.h"
#include "export/ScriptCommand.h"

using namespace quirtle;
using Args = std::vector<std::string>;

class ScriptArgumentsTest : public QObject {
    Q_OBJECT
  private slots:
    void piecesAreSplitAndPathsPassedWhole() {
        ScriptEntry entry;
        entry.program = "\"/opt/my python/python3\" -X utf8";
        entry.script = "\x95\xCF\x8A\xB7.py";  // "変換.py" in Shift_JIS
        entry.arguments = "--title \"A \\\"B\\\"\"";
        entry.extension = "html";
        // Spaces and quotes in the paths are not split or interpreted.
        QCOMPARE(ScriptArguments(entry, "/app dir/", "/out/a \"b\".html"),
                 (Args{"/opt/my python/python3", "-X", "utf8",
                       "/app dir/script/\xE5\xA4\x89\xE6\x8F\x9B.py", "--title", "A \"B\"", "-o",
                       "/out/a \"b\".html"}));
    }

    void emptyProgramStartsTheScriptItself() {
        ScriptEntry entry;
        entry.script = "run.sh";
        QCOMPARE(ScriptArguments(entry, "/app/", "/o"), (Args{"/app/script/run.sh", "-o", "/o"}));
    }

    void textThatIsNotShiftJisPassesUnchanged() {
        QCOMPARE(ToSystemBytes("plain"), std::string("plain"));
        QCOMPARE(ToSystemBytes("\xFF\xFE"), std::string("\xFF\xFE"));
        QCOMPARE(ToSystemBytes("\x83\x5C"), std::string("\xE3\x82\xBD"));  // "ソ"
    }

    void sameFileMeansTheSameFileNotTheSameSpelling() {
        QTemporaryDir dir;
        const QString file = dir.filePath("a.txt");
        testing::WriteBytes(file, "x");
        QVERIFY(QFile::link(file, dir.filePath("hard-or-soft.txt")));
        QVERIFY(IsSameFile(file, dir.filePath("hard-or-soft.txt")));
        QVERIFY(QDir().mkpath(dir.filePath("sub")));
        QVERIFY(IsSameFile(file, dir.path() + "/sub/../a.txt"));
        QVERIFY(!IsSameFile(file, dir.filePath("A.txt")));
        // Files that do not exist (yet) are compared by where they would be.
        QVERIFY(IsSameFile(dir.filePath("new.txt"), dir.path() + "/./new.txt"));
        QVERIFY(!IsSameFile(dir.filePath("new.txt"), dir.filePath("other.txt")));
        QVERIFY(!IsSameFile(file, QString()));
    }
};

QTEST_GUILESS_MAIN(ScriptArgumentsTest)
#include "ScriptArgumentsTest.moc"
