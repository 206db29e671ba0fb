#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "scripts/ScriptList.h"

using namespace quirtle;

namespace {

std::vector<ScriptEntry> ParseOk(std::string_view bytes) {
    std::vector<ScriptEntry> scripts;
    const int32_t status = ParseScriptList(bytes, scripts);
    if (status < 0) throw std::runtime_error("list rejected");
    return scripts;
}

bool Rejected(std::string_view bytes) {
    std::vector<ScriptEntry> scripts{ScriptEntry{}};
    const bool failed = ParseScriptList(bytes, scripts) < 0;
    return failed && scripts.empty();
}

}  // namespace

class ScriptListTest : public QObject {
    Q_OBJECT
  private slots:
    void LineSplitsIntoFiveFieldsExactlyAsWritten() {
        ScriptEntry entry;
        QCOMPARE(ParseScriptLine(" HTML(&H) \tperl\tto html.pl\t-x \"a b\"\thtml", 3285, entry),
                 kStatusOk);
        QCOMPARE(entry.label, std::string(" HTML(&H) "));
        QCOMPARE(entry.program, std::string("perl"));
        QCOMPARE(entry.script, std::string("to html.pl"));
        QCOMPARE(entry.arguments, std::string("-x \"a b\""));
        QCOMPARE(entry.extension, std::string("html"));
        QCOMPARE(entry.commandId, 3285);
    }

    void LineExtensionKeepsFurtherTabsAndMayBeEmpty() {
        ScriptEntry entry;
        QCOMPARE(ParseScriptLine("a\tb\tc\td\t", 1, entry), kStatusOk);
        QCOMPARE(entry.extension, std::string());
        QCOMPARE(ParseScriptLine("a\tb\tc\td\te\tf\tg", 1, entry), kStatusOk);
        QCOMPARE(entry.extension, std::string("e\tf\tg"));
        QCOMPARE(ParseScriptLine("\t\t\t\t", 2, entry), kStatusOk);
        QCOMPARE(entry.label, std::string());
        QCOMPARE(entry.arguments, std::string());
    }

    void LineWithFewerThanFourTabsFails() {
        ScriptEntry entry;
        entry.label = "kept";
        QCOMPARE(ParseScriptLine("a\tb\tc\td", 7, entry), kStatusFail);
        QCOMPARE(ParseScriptLine("", 7, entry), kStatusFail);
        QCOMPARE(entry.label, std::string("kept"));
    }

    void ShiftJisLabelsPassThroughUntouched() {
        // "出力" in Shift_JIS: second bytes are never TAB, CR, LF or '#'.
        const std::string label = "\x8f\x6f\x97\xcd(&O)";
        const auto scripts = ParseOk(label + "\tp\ts\t\ttxt\r\n");
        QCOMPARE(scripts.size(), std::size_t{1});
        QCOMPARE(scripts[0].label, label);
    }

    void EmptyFileAndLfOnlyFilesGiveNoEntries() {
        QVERIFY(ParseOk("").empty());
        QVERIFY(ParseOk("a\tb\tc\td\te\nf\tg\th\ti\tj\n").empty());
        // LF-only text before a good CR LF line is discarded, not joined to it.
        const auto scripts = ParseOk("junk without tabs\nx\tp\ts\ta\te\r\n");
        QCOMPARE(scripts.size(), std::size_t{1});
        QCOMPARE(scripts[0].label, std::string("x"));
    }

    void CommandIdsFollowFileOrderSkippingComments() {
        const auto scripts = ParseOk(
            "# exports\r\n"
            "one\tp\ts1\t\thtml\r\n"
            "#\tcomment\twith\ttabs\tand more\r\n"
            "two\tp\ts2\t\ttxt\r\n"
            "#\r\n"
            "three\tp\ts3\t\txml\r\n");
        QCOMPARE(scripts.size(), std::size_t{3});
        QCOMPARE(scripts[0].commandId, 3280);
        QCOMPARE(scripts[1].commandId, 3281);
        QCOMPARE(scripts[2].commandId, 3282);
        QCOMPARE(scripts[2].script, std::string("s3"));
        QCOMPARE(scripts[1].extension, std::string("txt"));
    }

    void LastLineWithoutCrLfIsIgnored() {
        const auto scripts = ParseOk("one\tp\ts\t\thtml\r\ntwo\tp\ts\t\ttxt");
        QCOMPARE(scripts.size(), std::size_t{1});
        QCOMPARE(scripts[0].label, std::string("one"));
        // ...also when the ignored remainder is malformed.
        QCOMPARE(ParseOk("one\tp\ts\t\thtml\r\nbroken").size(), std::size_t{1});
    }

    void LoneCrEndsTheLineAndSwallowsTheNextByte() {
        // The CR ends "a\tb\tc\td\te"; the 'X' after it is skipped, so the next line is
        // "second..." and both lines are entries.
        const auto scripts = ParseOk("a\tb\tc\td\te\rXsecond\tp\ts\t\tz\r\n");
        QCOMPARE(scripts.size(), std::size_t{2});
        QCOMPARE(scripts[0].extension, std::string("e"));
        QCOMPARE(scripts[1].label, std::string("second"));
        // A CR as the very last byte still ends a line that is taken up.
        QCOMPARE(ParseOk("a\tb\tc\td\te\r").size(), std::size_t{1});
    }

    void MalformedLinesRejectTheWholeList() {
        QVERIFY(Rejected("good\tp\ts\t\thtml\r\n\r\n"));           // empty line
        QVERIFY(Rejected(" #not a comment\r\n"));                  // space before '#'
        QVERIFY(Rejected("good\tp\ts\t\thtml\r\nbad\tp\ts\r\n"));  // three TABs
        QVERIFY(!Rejected(" #is\tan\tentry\there\t\r\n"));
    }

    void LoadScriptsReadsTheFileBesideTheProgram() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::string directory = dir.path().toStdString() + "/";
        std::vector<ScriptEntry> scripts;
        QCOMPARE(LoadScripts(directory, scripts), kStatusFail);  // no file

        // Larger than one 4096-byte read, to cover the reading loop.
        std::string content = "# " + std::string(5000, 'c') + "\r\n";
        for (int i = 0; i < 200; ++i) content += "label" + std::to_string(i) + "\tp\ts\ta\tx\r\n";
        {
            std::ofstream out(directory + "script.cfg", std::ios::binary);
            out << content;
        }
        QCOMPARE(LoadScripts(directory, scripts), kStatusOk);
        QCOMPARE(scripts.size(), std::size_t{200});
        QCOMPARE(scripts[199].label, std::string("label199"));
        QCOMPARE(scripts[199].commandId, 3280 + 199);

        {
            std::ofstream out(directory + "script.cfg", std::ios::binary | std::ios::app);
            out << "broken\r\n";
        }
        QCOMPARE(LoadScripts(directory, scripts), kStatusFail);
        QCOMPARE(scripts.size(), std::size_t{200});  // a failed load leaves the old list alone
    }
};

QTEST_APPLESS_MAIN(ScriptListTest)
#include "ScriptListTest.moc"
