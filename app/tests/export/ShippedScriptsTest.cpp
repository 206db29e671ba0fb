#include <QDir>
#include <QProcess>
#include <QTest>

#include "ExportFixture.h"
#include "documents/TestFiles.h"
#include "process/ProcessTestSupport.h"
#include "scripts/ScriptList.h"

using namespace quirtle;
using namespace quirtle::testing;

namespace {

const QString kRuntime = QStringLiteral(QUIRTLE_RUNTIME_DIR);

// The entries of the shipped script.cfg, read as the editor reads them.
std::vector<ScriptEntry> ShippedEntries() {
    std::vector<ScriptEntry> entries;
    if (LoadScripts(QFile::encodeName(kRuntime + "/").toStdString(), entries) < 0) return {};
    return entries;
}

const ScriptEntry* EntryFor(const std::vector<ScriptEntry>& entries, const char* extension) {
    for (const auto& entry : entries) {
        if (entry.extension == extension) return &entry;
    }
    return nullptr;
}

// Exports the manuscript with the shipped entry of that extension, as a user would.
QString ExportWithShippedScript(ExportFixture& f, const char* extension,
                                const QString& manuscript) {
    f.scripts = ShippedEntries();
    for (const QString& name : QDir(kRuntime + "/script").entryList({"*.py"}, QDir::Files)) {
        QFile::copy(kRuntime + "/script/" + name, f.programDirectory + "script/" + name);
    }
    const ScriptEntry* entry = EntryFor(f.scripts, extension);
    if (entry == nullptr) return "<no entry>";
    f.editor.Type(manuscript);
    const QString output = f.outputDirectory + QStringLiteral(u"書き出し.") + extension;
    f.prompts.fileAnswers.push_back(output);
    if (f.command.Export(entry->commandId) != 0) return "<export failed>";
    if (f.desktop.openedFiles != QStringList{output}) return "<not opened>";
    return QString::fromUtf8(ReadWholeFile(output));
}

const QString kManuscript = QStringLiteral(
    u"* 第一章\n"
    u"本文に_漢字[かんじ]と_強調*と_コード{code(c) \"a b\"}があります。A&B <x>\n"
    u"- 項目一\n"
    u"-- 入れ子\n"
    u"- 項目二\n"
    u"\n"
    u"! 用語:説明\n"
    u"\n"
    u"> 引用です\n"
    u"\n"
    u"|{note(warn)} 注意書き\n"
    u"\n"
    u":hr wide\n"
    u"** 第二節\n"
    u"*bad\n");

}  // namespace

class ShippedScriptsTest : public QObject {
    Q_OBJECT
  private slots:
    void entriesAreWellFormed() {
        const std::vector<ScriptEntry> entries = ShippedEntries();
        QStringList labels;
        for (const auto& entry : entries) {
            labels << text::DecodeShiftJis(entry.label).value_or(QString());
        }
        QCOMPARE(
            labels,
            QStringList({QStringLiteral(u"EPUB 縦書き(&E)"), QStringLiteral(u"EPUB 横書き"),
                         QStringLiteral(u"PDF 縦書き A5(&P)"), QStringLiteral(u"PDF 横書き A4"),
                         QStringLiteral(u"HTML ページ(&H)"), QStringLiteral(u"テキスト(&T)"),
                         QStringLiteral(u"PDF 入稿用 文庫 (塗り足し・トンボ付き)"),
                         QStringLiteral(u"カクヨム投稿用テキスト"),
                         QStringLiteral(u"小説家になろう投稿用テキスト"),
                         QStringLiteral(u"青空文庫形式テキスト"),
                         QStringLiteral(u"PDF 応募原稿 A4横 40字×40行"),
                         QStringLiteral(u"PDF 応募原稿 A4横 42字×34行"),
                         QStringLiteral(u"PDF 原稿用紙 20字×20行")}));
        // One script serves both variants; the arguments field chooses.
        QCOMPARE(entries[0].script, entries[1].script);
        QCOMPARE(entries[0].arguments, std::string("--vertical"));
        QCOMPARE(entries[1].arguments, std::string("--horizontal"));
        QVERIFY(EntryFor(entries, "epub"));
        QVERIFY(EntryFor(entries, "pdf"));
        QVERIFY(EntryFor(entries, "html"));
        QVERIFY(EntryFor(entries, "txt"));
        for (const auto& entry : entries) {
            QVERIFY(text::DecodeShiftJis(entry.label).has_value());
            QVERIFY(QFile::exists(kRuntime + "/script/" + QString::fromStdString(entry.script)));
        }
    }

    void htmlPageShowsTheManuscript() {
        ExportFixture f;
        const QString page = ExportWithShippedScript(f, "html", kManuscript);
        QVERIFY2(page.startsWith("<!DOCTYPE html>"), qPrintable(page.left(200)));
        const QStringList expected = {
            QStringLiteral(u"<meta charset=\"utf-8\">"),
            QStringLiteral(u"<title>第一章</title>"),
            QStringLiteral(u"<section class=\"section_1\"><h1>第一章</h1>"),
            QStringLiteral(
                u"<p>本文に<ruby>漢字<rp>(</rp><rt>かんじ</rt><rp>)</rp></ruby>と<em>強調</em>と"
                u"<span class=\"inline_command code c\" data-param0=\"a b\">コード</span>"
                u"があります。A&amp;B &lt;x&gt;</p>"),
            QStringLiteral(u"<ul><li>項目一<ul><li>入れ子</li>"),
            QStringLiteral(u"<li>項目二</li>"),
            QStringLiteral(u"<dl><dt>用語</dt>\n<dd>説明</dd>"),
            QStringLiteral(u"<blockquote><div class=\"blockquote_inner\">引用です</div>"),
            QStringLiteral(u"<div class=\"note warn\"><div class=\"div_inner\">注意書き</div>"),
            QStringLiteral(u"<div class=\"oneline_command hr\" data-param0=\"wide\"></div>"),
            QStringLiteral(u"<section class=\"section_2\"><h2>第二節</h2>"),
            QStringLiteral(u"<pre class=\"incomplete\">*bad</pre>"),
            QStringLiteral(u"</body>\n</html>\n"),
        };
        for (const QString& piece : expected) QVERIFY2(page.contains(piece), qPrintable(piece));
    }

    void plainTextWritesRubyInParentheses() {
        ExportFixture f;
        const QString text = ExportWithShippedScript(f, "txt", kManuscript);
        QCOMPARE(text, QStringLiteral(u"第一章\n"
                                      u"\n"
                                      u"本文に漢字(かんじ)と強調とコードがあります。A&B <x>\n"
                                      u"・項目一\n"
                                      u"\u3000・入れ子\n"
                                      u"・項目二\n"
                                      u"用語\n"
                                      u"\u3000説明\n"
                                      u"> 引用です\n"
                                      u"注意書き\n"
                                      u"\n"
                                      u"第二節\n"
                                      u"\n"
                                      u"*bad\n"));
    }

    // Inline command names are the author's own: one named like an element of the export
    // ("heading", "section", "ruby", "em", "litem") is still an inline command of its line.
    void inlineCommandsNamedLikeExportElements() {
        const QString manuscript = QStringLiteral(
            u"* 章_題{em}\n"
            u"段落_見出し{heading}と_段{section}と_R{ruby よみ}と_E{em}と_本当[ほんとう]_強*\n"
            u"- 項目_L{litem}\n"
            u"-- 入れ子\n");
        ExportFixture html;
        const QString page = ExportWithShippedScript(html, "html", manuscript);
        const QStringList expected = {
            QStringLiteral(u"<h1>章<span class=\"inline_command em\">題</span></h1>"),
            QStringLiteral(
                u"<p>段落<span class=\"inline_command heading\">見出し</span>"
                u"と<span class=\"inline_command section\">段</span>"
                u"と<span class=\"inline_command ruby\" data-param0=\"よみ\">R</span>"
                u"と<span class=\"inline_command em\">E</span>"
                u"と<ruby>本当<rp>(</rp><rt>ほんとう</rt><rp>)</rp></ruby><em>強</em></p>"),
            QStringLiteral(u"<ul><li>項目<span class=\"inline_command litem\">L</span>"
                           u"<ul><li>入れ子</li>"),
        };
        for (const QString& piece : expected) QVERIFY2(page.contains(piece), qPrintable(page));

        ExportFixture text;
        QCOMPARE(ExportWithShippedScript(text, "txt", manuscript),
                 QStringLiteral(u"章題\n"
                                u"\n"
                                u"段落見出しと段とRとEと本当(ほんとう)強\n"
                                u"・項目L\n"
                                u"\u3000・入れ子\n"));
    }

    void scriptsReportBadInputAndUsageOnStandardError() {
        for (const char* script : {"xml2html.py", "xml2text.py"}) {
            QProcess process;
            process.start("python3",
                          {kRuntime + "/script/" + script, "-o", QDir::tempPath() + "/never"});
            process.write("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><document><p>");
            process.closeWriteChannel();
            QVERIFY(process.waitForFinished(30000));
            QCOMPARE(process.exitCode(), 1);
            QVERIFY(process.readAllStandardError().contains("not well-formed"));
            QVERIFY(!QFile::exists(QDir::tempPath() + "/never"));

            QProcess usage;
            usage.start("python3", {kRuntime + "/script/" + script});
            usage.closeWriteChannel();
            QVERIFY(usage.waitForFinished(30000));
            QVERIFY(usage.exitCode() != 0);
            QVERIFY(usage.readAllStandardError().contains("-o"));
        }
    }
};

QTEST_MAIN(ShippedScriptsTest)
#include "ShippedScriptsTest.moc"
