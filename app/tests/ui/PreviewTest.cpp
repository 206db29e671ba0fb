// The preview page under Xvfb: what the timer and the converter put into its DOM.
#include <signal.h>

#include <QApplication>
#include <QDir>
#include <QStatusBar>
#include <QTextBlock>
#include <QWebEngineScript>
#include <QtTest>
#include <chrono>
#include <mutex>
#include <thread>

#include "TestWindow.h"
#include "preview/PreviewConversion.h"
#include "preview/PreviewPane.h"
#include "preview/PreviewScript.h"
#include "preview/PreviewUpdater.h"
#include "support/ScriptedPrompts.h"
#include "text/ShiftJis.h"
#include "text/Utf8ShiftJis.h"
#include "ui/Commands.h"
#include "ui/EditorPane.h"
#include "ui/MainFrame.h"
#include "ui/ProgramStart.h"

using namespace quirtle;
using namespace quirtle::testing;

namespace {

using Window = TestWindow;

PreviewConverter FixedHtml(std::string html) {
    return [html](const std::string&) -> std::optional<std::string> { return html; };
}

// A converter that takes its time on manuscripts starting with "slow", and notes every
// manuscript it was given (it runs on the preview's thread).
struct RecordingConverter {
    std::mutex mutex;
    std::vector<std::string> seen;

    PreviewConverter Function() {
        return [this](const std::string& manuscript) -> std::optional<std::string> {
            if (manuscript.starts_with("slow"))
                std::this_thread::sleep_for(std::chrono::milliseconds(400));
            const std::lock_guard lock(mutex);
            seen.push_back(manuscript);
            return "<p id=\"made\">" + manuscript + "</p>";
        };
    }
    std::vector<std::string> Seen() {
        const std::lock_guard lock(mutex);
        return seen;
    }
};

// Starts a preview and waits until it has settled (shown, failed or outdated).
bool PreviewAndWait(MainFrame& frame) {
    frame.UpdatePreview();
    return QTest::qWaitFor([&] { return !frame.PreviewInProgress(); }, 15000);
}

// A novel-like manuscript: chapters, paragraphs opening with a full-width space, ruby, a
// list, a division and a quotation in each chapter.
QStringList NovelLines(int chapters) {
    QStringList lines{QStringLiteral(":title 猫")};
    for (int c = 0; c < chapters; ++c) {
        lines << QStringLiteral("** 第%1章").arg(c + 1);
        for (int p = 0; p < 15; ++p) {
            lines << QStringLiteral(
                         "　_吾輩[わがはい]は猫である。第%1章の%2段落。名前はまだ無い。"
                         "どこで生れたかとんと見当がつかぬ。")
                         .arg(c + 1)
                         .arg(p + 1);
        }
        lines << QStringLiteral("- 一") << QStringLiteral("- 二") << QString();
        lines << QStringLiteral("|{letter} 拝啓") << QStringLiteral("> 「はい」") << QString();
    }
    return lines;
}

// What the page's element holds after a full replacement by the converter's fragment.
QString FullReplacement(TestWindow& window, const QString& manuscript) {
    const auto html = ConvertForPreview(text::ToUtf8(manuscript));
    const std::optional<QString> decoded = text::FromUtf8WithLf(*html);
    return window
        .Evaluate(QStringLiteral("(function(){var d=document.createElement('div');"
                                 "d.innerHTML=%1;return d.innerHTML;})()")
                      .arg(JavaScriptStringLiteral(*decoded)))
        .toString();
}

// Where two texts part, with some of each around it ("" when they are the same).
QString Difference(const QString& a, const QString& b) {
    qsizetype i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    if (i == a.size() && i == b.size()) return QString();
    return QStringLiteral("at %1: [%2] vs [%3]").arg(i).arg(a.mid(i - 60, 160), b.mid(i - 60, 160));
}

QString SampleManuscript() {
    QFile file(QStringLiteral(QUIRTLE_RUNTIME_DIR "/../../samples/sample.txt"));
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return text::DecodeShiftJis(file.readAll().toStdString()).value_or(QString());
}

}  // namespace

class PreviewTest : public QObject {
    Q_OBJECT
  private slots:
    void TypedManuscriptReachesThePage() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        QVERIFY(probe.Preview().IsPageLoaded());
        // Before any change the page shows its own content.
        QVERIFY(window.ContentsHtml().contains(QStringLiteral("placeholder")));

        frame.show();
        probe.Editor().setFocus();
        QTest::keyClicks(&probe.Editor(), QStringLiteral("* "));
        probe.Editor().textCursor().insertText(QStringLiteral("見出し"));
        QTest::keyClick(&probe.Editor(), Qt::Key_Return);
        probe.Editor().textCursor().insertText(QStringLiteral("_漢字[かんじ]を読む。"));
        QSignalSpy updates(&frame, &MainFrame::PreviewUpdated);
        QTRY_VERIFY_WITH_TIMEOUT(updates.size() >= 1, 15000);

        QTRY_COMPARE_WITH_TIMEOUT(
            window
                .Evaluate(QStringLiteral("(function(){var h=document.querySelector("
                                         "'#contents h1');return h?h.textContent:'';})()"))
                .toString(),
            QStringLiteral("見出し"), 15000);
        QCOMPARE(
            window
                .Evaluate(QStringLiteral("document.querySelector('#contents h1').parentElement."
                                         "className"))
                .toString(),
            QStringLiteral("section_1"));
        QCOMPARE(
            window.Evaluate(QStringLiteral("document.querySelector('#contents rt').textContent"))
                .toString(),
            QStringLiteral("かんじ"));
        QCOMPARE(
            window.Evaluate(QStringLiteral("document.querySelector('#contents rb').textContent"))
                .toString(),
            QStringLiteral("漢字"));
        QVERIFY(window.Evaluate(QStringLiteral("document.querySelector('#contents p').textContent"))
                    .toString()
                    .contains(QStringLiteral("を読む。")));
        // The markup outside "contents" is never touched.
        QCOMPARE(window.Evaluate(QStringLiteral("document.title")).toString(),
                 QStringLiteral("quirtle preview"));
    }

    void RejectedLinesShowAsIncompleteBlocks() {
        Window window;
        QVERIFY(window.Create());
        window.Probe().Editor().ReplaceText(QStringLiteral("*見出し\n_閉じない\n:cmd"));
        window.frame->RunCommand(command::kPreview);
        QTRY_VERIFY_WITH_TIMEOUT(
            window.Evaluate(QStringLiteral("document.querySelectorAll('#contents pre.incomplete')"
                                           ".length"))
                    .toInt() >= 1,
            15000);
    }

    void FailedConversionOrMissingElementLeavesThePage() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        frame.SetPreviewConverter([](const std::string&) { return std::nullopt; });
        QSignalSpy updates(&frame, &MainFrame::PreviewUpdated);
        probe.Editor().ReplaceText(QStringLiteral("text"));
        QVERIFY(PreviewAndWait(frame));
        QCOMPARE(updates.size(), 0);
        QVERIFY(window.ContentsHtml().contains(QStringLiteral("placeholder")));
        // A good preview, then a failed one: the page keeps the good one.
        frame.SetPreviewConverter(FixedHtml("<p id=\"mark\">ok</p>"));
        QVERIFY(PreviewAndWait(frame));
        QCOMPARE(updates.size(), 1);
        QCOMPARE(window.ContentsHtml(), QStringLiteral("<p id=\"mark\">ok</p>"));
        frame.SetPreviewConverter([](const std::string&) { return std::nullopt; });
        QVERIFY(PreviewAndWait(frame));
        QCOMPARE(updates.size(), 1);
        QCOMPARE(window.ContentsHtml(), QStringLiteral("<p id=\"mark\">ok</p>"));

        // A page without "contents" takes the preview and stays as it is.
        Window bare;
        bare.folder.WriteFile(QStringLiteral("index.html"),
                              "<html><body><p id=\"other\">own</p></body></html>");
        QVERIFY(bare.Create());
        bare.frame->SetPreviewConverter(FixedHtml("<p>new</p>"));
        QSignalSpy bareUpdates(bare.frame.get(), &MainFrame::PreviewUpdated);
        bare.frame->RunCommand(command::kPreview);
        QTRY_COMPARE_WITH_TIMEOUT(bareUpdates.size(), 1, 15000);
        QCOMPARE(bare.Evaluate(QStringLiteral("document.body.innerHTML")).toString(),
                 QStringLiteral("<p id=\"other\">own</p>"));
        QVERIFY(bare.frame->PreviewsThroughFile());
    }

    void PreviewGoesThroughTheFileAndArrivesIntact() {
        // A user's own page with nothing but the element.
        Window window;
        window.folder.WriteFile(QStringLiteral("index.html"),
                                "<html><body><div id=\"contents\"></div></body></html>");
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        QVERIFY(!frame.PreviewFolder().isEmpty());
        QVERIFY(frame.PreviewsThroughFile());
        // Japanese with the bytes 0x5C as second byte (ソ, 表), half-width katakana, quotes,
        // a backslash, line breaks and what would end a script.
        const QString text = QStringLiteral("ソ表\\ \"q\" 'a' ｶﾅ ${x} `t` 雨が降る𠮟😀");
        // Long enough to go through the file rather than in the script.
        QByteArray fragment =
            "<p id=\"t\" title=\"&quot;\">" + text.toUtf8() + "&lt;/script&gt;</p>\r\n";
        for (int i = 0; i < 40000; ++i) fragment += "<p>2</p>\r\n";
        frame.SetPreviewConverter(FixedHtml(fragment.toStdString()));
        QSignalSpy updates(&frame, &MainFrame::PreviewUpdated);
        frame.RunCommand(command::kPreview);
        QTRY_COMPARE_WITH_TIMEOUT(updates.size(), 1, 15000);
        QCOMPARE(
            window.Evaluate(QStringLiteral("document.getElementById('t').textContent")).toString(),
            text + QStringLiteral("</script>"));
        QCOMPARE(window.Evaluate(QStringLiteral("document.getElementById('t').title")).toString(),
                 QStringLiteral("\""));
        QCOMPARE(window.Evaluate(QStringLiteral("document.querySelectorAll('#contents p').length"))
                     .toInt(),
                 40001);
        // It came through the file, which holds the fragment as UTF-8 (line breaks as the
        // page's parser reads them).
        QVERIFY(frame.PreviewsThroughFile());
        QFile file(frame.PreviewFolder() + QStringLiteral("/contents.html"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), text::FromUtf8WithLf(fragment.toStdString())->toUtf8());

        // The same text through the real converter, from the editor.
        frame.SetPreviewConverter(&ConvertForPreview);
        probe.Editor().ReplaceText(QStringLiteral("* 見出し<&>𠮟😀\n_漢字[かんじ]と\\_記号\"。"));
        frame.RunCommand(command::kPreview);
        QTRY_COMPARE_WITH_TIMEOUT(updates.size(), 2, 15000);
        QCOMPARE(window
                     .Evaluate(QStringLiteral("document.querySelector('#contents h1')"
                                              ".textContent"))
                     .toString(),
                 QStringLiteral("見出し<&>𠮟😀"));
        QCOMPARE(window
                     .Evaluate(QStringLiteral("document.querySelector('#contents p')"
                                              ".textContent"))
                     .toString(),
                 QStringLiteral("漢字(かんじ)と_記号\"。"));
    }

    void PageThatMayNotReadFilesStillGetsThePreview() {
        // The page's content rules forbid loading anything: the preview then carries the
        // fragment in its script, this time and from then on.
        Window window;
        window.folder.WriteFile(
            QStringLiteral("index.html"),
            "<html><head><meta http-equiv=\"Content-Security-Policy\" "
            "content=\"default-src 'none'\"></head><body><div id=\"contents\"></div></body>"
            "</html>");
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        QVERIFY(frame.PreviewsThroughFile());
        QSignalSpy updates(&frame, &MainFrame::PreviewUpdated);
        // Large enough to go through the file, which the page cannot read.
        const QString first = QStringLiteral("一つ目 \"x\"\n").repeated(30000);
        probe.Editor().ReplaceText(first);
        frame.RunCommand(command::kPreview);
        QTRY_COMPARE_WITH_TIMEOUT(updates.size(), 1, 15000);
        QCOMPARE(window.Evaluate(QStringLiteral("document.querySelectorAll('#contents p').length"))
                     .toInt(),
                 30000);
        QVERIFY(!frame.PreviewsThroughFile());
        probe.Editor().ReplaceText(QStringLiteral("二つ目"));
        frame.RunCommand(command::kPreview);
        // (The timer may show the first text once more meanwhile.)
        QTRY_COMPARE_WITH_TIMEOUT(window.ContentsHtml(), QStringLiteral("<p>二つ目</p>\n"), 15000);
    }

    void NewestPreviewWins() {
        RecordingConverter converter;
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        frame.SetPreviewConverter(converter.Function());
        QSignalSpy updates(&frame, &MainFrame::PreviewUpdated);
        // The first is still being made when the second and third are asked for: the second
        // is outdated before it starts, and the first is outdated when it is done.
        probe.Editor().ReplaceText(QStringLiteral("slow first"));
        frame.UpdatePreview();
        QTest::qWait(50);
        probe.Editor().ReplaceText(QStringLiteral("second"));
        frame.UpdatePreview();
        probe.Editor().ReplaceText(QStringLiteral("third"));
        frame.UpdatePreview();
        QVERIFY(frame.PreviewInProgress());
        QTRY_VERIFY_WITH_TIMEOUT(!frame.PreviewInProgress(), 15000);
        QCOMPARE(converter.Seen(), (std::vector<std::string>{"slow first", "third"}));
        QCOMPARE(window.ContentsHtml(), QStringLiteral("<p id=\"made\">third</p>"));
        QCOMPARE(updates.size(), 1);

        // A slow preview, then a quick one asked for while the slow one's page answer is
        // still to come: the page ends with the quick (newer) one.
        probe.Editor().ReplaceText(QStringLiteral("slow again"));
        frame.UpdatePreview();
        QTRY_VERIFY_WITH_TIMEOUT(converter.Seen().size() == 3, 15000);
        probe.Editor().ReplaceText(QStringLiteral("quick"));
        frame.UpdatePreview();
        QTRY_VERIFY_WITH_TIMEOUT(!frame.PreviewInProgress(), 15000);
        QCOMPARE(window.ContentsHtml(), QStringLiteral("<p id=\"made\">quick</p>"));
    }

    void WithoutAWritableFolderThePreviewStillArrives() {
        // No temporary folder at all.
        const QByteArray oldTemp = qgetenv("TMPDIR");
        Window window;
        qputenv("TMPDIR", QFile::encodeName(window.folder.Path() + QStringLiteral("script.cfg")));
        const bool created = window.Create();
        qputenv("TMPDIR", oldTemp);
        if (oldTemp.isEmpty()) qunsetenv("TMPDIR");
        QVERIFY(created);
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        QCOMPARE(frame.PreviewFolder(), QString());
        QVERIFY(!frame.PreviewsThroughFile());
        probe.Editor().ReplaceText(QStringLiteral("本文 \"a\" <b>"));
        QVERIFY(PreviewAndWait(frame));
        QCOMPARE(window
                     .Evaluate(QStringLiteral("document.querySelector('#contents p')"
                                              ".textContent"))
                     .toString(),
                 QStringLiteral("本文 \"a\" <b>"));

        // A folder that goes away while the program runs.
        Window other;
        QVERIFY(other.Create());
        const QString folder = other.frame->PreviewFolder();
        QVERIFY(!folder.isEmpty());
        QVERIFY(QDir(folder).removeRecursively());
        other.Probe().Editor().ReplaceText(QStringLiteral("消えた後"));
        QVERIFY(PreviewAndWait(*other.frame));
        QCOMPARE(other
                     .Evaluate(QStringLiteral("document.querySelector('#contents p')"
                                              ".textContent"))
                     .toString(),
                 QStringLiteral("消えた後"));
    }

    void ClosingWhileAPreviewIsMadeIsSafeAndRemovesTheFolder() {
        QString folder;
        {
            Window window;
            QVERIFY(window.Create());
            folder = window.frame->PreviewFolder();
            QVERIFY(QDir(folder).exists());
            RecordingConverter converter;
            window.frame->SetPreviewConverter(converter.Function());
            window.Probe().Editor().ReplaceText(QStringLiteral("slow"));
            window.frame->UpdatePreview();
            QTest::qWait(50);
            window.frame->UpdatePreview();  // waits behind the running one
            window.frame.reset();
            QCOMPARE(converter.Seen().size(), std::size_t{1});
        }
        QVERIFY(!QDir(folder).exists());
        // Results posted to the closed window go nowhere.
        QTest::qWait(200);
    }

    void MissingPageStillGivesAWindow() {
        Window window;
        window.folder.RemoveFile(QStringLiteral("index.html"));
        QVERIFY(window.Create());
        window.Probe().Editor().ReplaceText(QStringLiteral("text"));
        window.frame->RunCommand(command::kPreview);  // must not fail or crash
        QVERIFY(window.prompts.messages.isEmpty());
    }

    void FragmentArrivesExactlyAndScrollPositionStays() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        frame.resize(900, 500);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));

        // Quotes, backslashes, line separators and a closing script tag arrive as sent.
        const QString tricky = QStringLiteral("<p>\"a\" \\ b\u2028c &lt;/script&gt; 漢字</p>");
        probe.Preview().SetContents(tricky);
        QTRY_COMPARE_WITH_TIMEOUT(
            window.Evaluate(QStringLiteral("document.querySelector('#contents p').textContent"))
                .toString(),
            QStringLiteral("\"a\" \\ b\u2028c </script> 漢字"), 15000);

        QString tall;
        for (int i = 0; i < 300; ++i) tall += QStringLiteral("<p>行 %1</p>").arg(i);
        probe.Preview().SetContents(tall);
        QTRY_VERIFY_WITH_TIMEOUT(
            window.Evaluate(QStringLiteral("document.documentElement.scrollHeight")).toInt() > 2000,
            15000);
        window.Evaluate(
            QStringLiteral("window.scrollTo(0, 1200); window.dispatchEvent(new Event('scroll'))"));
        QTRY_COMPARE_WITH_TIMEOUT(window.Evaluate(QStringLiteral("window.scrollY")).toInt(), 1200,
                                  15000);
        probe.Preview().SetContents(tall + QStringLiteral("<p>追加</p>"));
        QTRY_COMPARE_WITH_TIMEOUT(
            window.Evaluate(QStringLiteral("document.querySelectorAll('#contents p').length"))
                .toInt(),
            301, 15000);
        QCOMPARE(window.Evaluate(QStringLiteral("window.scrollY")).toInt(), 1200);
    }

    void SwitchTurnsThePreviewVerticalAndKeepsTheReadingPlace() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        frame.resize(900, 500);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const QString mode =
            QStringLiteral("getComputedStyle(document.documentElement).writingMode");
        const QString button = QStringLiteral("document.getElementById('writing-switch')");
        QCOMPARE(window.Evaluate(mode).toString(), QStringLiteral("horizontal-tb"));
        QCOMPARE(window.Evaluate(button + ".textContent").toString(), QStringLiteral("縦書き"));

        window.Evaluate(button + ".click()");
        QCOMPARE(window.Evaluate(mode).toString(), QStringLiteral("vertical-rl"));
        QCOMPARE(window.Evaluate(button + ".textContent").toString(), QStringLiteral("横書き"));
        QVERIFY(window.Evaluate(QStringLiteral("getComputedStyle(document.body).fontFamily"))
                    .toString()
                    .contains(QStringLiteral("Mincho")));

        // Vertical lines run right to left: the page scrolls sideways, and a new preview
        // keeps the place.
        QString tall;
        for (int i = 0; i < 300; ++i) tall += QStringLiteral("<p>行 %1</p>").arg(i);
        probe.Preview().SetContents(tall);
        QTRY_VERIFY_WITH_TIMEOUT(
            window.Evaluate(QStringLiteral("document.documentElement.scrollWidth")).toInt() > 3000,
            15000);
        // A user's scrolling ends in scroll events; the test sends the one the page
        // remembers its place from at once, instead of waiting for the next frame.
        window.Evaluate(
            QStringLiteral("window.scrollTo(-1500, 0); window.dispatchEvent(new Event('scroll'))"));
        QTRY_COMPARE_WITH_TIMEOUT(window.Evaluate(QStringLiteral("window.scrollX")).toInt(), -1500,
                                  15000);
        probe.Preview().SetContents(tall + QStringLiteral("<p>追加</p>"));
        QTRY_COMPARE_WITH_TIMEOUT(
            window.Evaluate(QStringLiteral("document.querySelectorAll('#contents p').length"))
                .toInt(),
            301, 15000);
        QCOMPARE(window.Evaluate(QStringLiteral("window.scrollX")).toInt(), -1500);

        // The switch lies outside "contents": previews never remove it, and it goes back.
        QVERIFY(window.Evaluate(button + " !== null").toBool());
        window.Evaluate(button + ".click()");
        QCOMPARE(window.Evaluate(mode).toString(), QStringLiteral("horizontal-tb"));
    }

    void PageMarkupNamesTheStartingDirection() {
        Window window;
        QFile page(QStringLiteral(QUIRTLE_RUNTIME_DIR "/index.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        QByteArray html = page.readAll();
        QVERIFY(html.contains("data-writing=\"horizontal\""));
        html.replace("data-writing=\"horizontal\"", "data-writing=\"vertical\"");
        window.folder.WriteFile(QStringLiteral("index.html"), html);
        QVERIFY(window.Create());
        QCOMPARE(
            window
                .Evaluate(QStringLiteral("getComputedStyle(document.documentElement).writingMode"))
                .toString(),
            QStringLiteral("vertical-rl"));
        QCOMPARE(
            window.Evaluate(QStringLiteral("document.getElementById('writing-switch').textContent"))
                .toString(),
            QStringLiteral("横書き"));
    }

    void LinksOffThePageOpenInTheSystemBrowser() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        WindowProbe probe(frame);
        const QUrl page = probe.Preview().url();
        probe.Preview().SetContents(QStringLiteral(
            "<a id=\"out\" href=\"https://example.org/doc\">out</a>"
            "<a id=\"blank\" target=\"_blank\" href=\"https://example.org/new\">new</a>"
            "<a id=\"here\" href=\"#top\">here</a>"));
        QTRY_COMPARE_WITH_TIMEOUT(
            window.Evaluate(QStringLiteral("document.querySelectorAll('#contents a').length"))
                .toInt(),
            3, 15000);
        window.Evaluate(QStringLiteral("document.getElementById('out').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(window.desktop.openedUrls.size(), 1, 15000);
        QCOMPARE(window.desktop.openedUrls[0], QUrl(QStringLiteral("https://example.org/doc")));
        window.Evaluate(QStringLiteral("document.getElementById('blank').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(window.desktop.openedUrls.size(), 2, 15000);
        QCOMPARE(window.desktop.openedUrls[1], QUrl(QStringLiteral("https://example.org/new")));

        // A link within the page stays in the page; the page itself is never replaced.
        window.Evaluate(QStringLiteral("document.getElementById('here').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(probe.Preview().url().fragment(), QStringLiteral("top"), 15000);
        QCOMPARE(probe.Preview().url().adjusted(QUrl::RemoveFragment), page);
        QCOMPARE(window.desktop.openedUrls.size(), 2);
        QVERIFY(window.ContentsHtml().contains(QStringLiteral("id=\"out\"")));
    }

    void IncrementalPreviewEqualsAFullReplacement() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        const QString sample = SampleManuscript();
        QVERIFY(!sample.isEmpty());
        for (const QStringList& lines :
             {NovelLines(8), sample.split(u'\n'), QStringList{QStringLiteral("一行")}}) {
            const int mid = static_cast<int>(lines.size()) / 2;
            std::vector<QStringList> steps{lines};
            auto step = [&](auto change) {
                QStringList next = lines;
                change(next);
                steps.push_back(next);
            };
            step([](QStringList& l) { l[0].prepend(u'あ'); });
            step([&](QStringList& l) { l[mid] += u'猫'; });
            step([](QStringList& l) { l.back() += u'x'; });
            step([&](QStringList& l) { l.insert(mid, QStringLiteral("** 新しい章")); });
            step([](QStringList& l) {
                // A section's depth changed.
                for (QString& line : l) {
                    if (line.startsWith(u'*')) {
                        line = line.startsWith(QStringLiteral("**")) ? line.mid(1) : u'*' + line;
                        break;
                    }
                }
            });
            step([&](QStringList& l) { l.removeAt(mid); });
            step([](QStringList& l) { l.clear(); });
            steps.push_back(lines);
            for (const QStringList& text : steps) {
                const QString manuscript = text.join(u'\n');
                window.Probe().Editor().ReplaceText(manuscript);
                QVERIFY(PreviewAndWait(frame));
                QCOMPARE(Difference(window.ContentsHtml(), FullReplacement(window, manuscript)),
                         QString());
            }
        }

        // A one-character edit replaces one block; the blocks around it stay the same nodes.
        const QStringList novel = NovelLines(8);
        window.Probe().Editor().ReplaceText(novel.join(u'\n'));
        QVERIFY(PreviewAndWait(frame));
        window.Evaluate(QStringLiteral(
            "var ps=document.querySelectorAll('#contents p');ps[0].kept=1;ps[ps.length-1].kept=1;"
            "window.added=0;new MutationObserver(function(m){m.forEach(function(r){"
            "added+=r.addedNodes.length;});}).observe(document.getElementById('contents'),"
            "{childList:true,subtree:true});"));
        QStringList edited = novel;
        edited[novel.size() / 2 + 3] += u'猫';
        window.Probe().Editor().ReplaceText(edited.join(u'\n'));
        QVERIFY(PreviewAndWait(frame));
        QVERIFY(window
                    .Evaluate(QStringLiteral("var ps=document.querySelectorAll('#contents p');"
                                             "ps[0].kept===1&&ps[ps.length-1].kept===1"))
                    .toBool());
        // The paragraph and the line break after it.
        QCOMPARE(window.Evaluate(QStringLiteral("added")).toInt(), 2);
        QCOMPARE(Difference(window.ContentsHtml(), FullReplacement(window, edited.join(u'\n'))),
                 QString());
    }

    void DivisionsThatWouldActOnThePageAreInertAndShown() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        frame.resize(900, 700);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const QStringList lines{
            QStringLiteral("|{style} {} #contents p, #contents pre { display: none }"),
            QString(),
            QStringLiteral("本文は見える。"),
            QStringLiteral("_x"),
            QStringLiteral("|{template} 型の文"),
            QString(),
            QStringLiteral("|{form} 送る"),
            QStringLiteral("|{button} 押す"),
            QString(),
            QStringLiteral("|{iframe} 枠の文"),
            QString(),
            QStringLiteral("|{details} 畳む文"),
            QString(),
            QStringLiteral("|{dialog} 窓の文"),
            QString(),
            QStringLiteral("|{script} 台本の文"),
            QString(),
            QStringLiteral("|{select} 選ぶ文"),
        };
        window.Probe().Editor().ReplaceText(lines.join(u'\n'));
        QVERIFY(PreviewAndWait(frame));
        // No style sheet of the manuscript applies: the paragraph and the red box show.
        QCOMPARE(window
                     .Evaluate(QStringLiteral(
                         "getComputedStyle(document.querySelector('#contents p')).display"))
                     .toString(),
                 QStringLiteral("block"));
        QCOMPARE(window
                     .Evaluate(QStringLiteral("getComputedStyle(document.querySelector("
                                              "'#contents pre.incomplete')).display"))
                     .toString(),
                 QStringLiteral("block"));
        QCOMPARE(window
                     .Evaluate(QStringLiteral(
                         "Array.prototype.filter.call(document.styleSheets,function(s){"
                         "return !s.disabled&&s.ownerNode&&s.ownerNode.closest('#contents');})"
                         ".length"))
                     .toInt(),
                 0);
        // Every division's text is on the page, as the reader sees it.
        const QString shown =
            window.Evaluate(QStringLiteral("document.getElementById('contents').innerText"))
                .toString();
        for (const char* text : {"本文は見える。", "型の文", "送る", "押す", "枠の文", "畳む文",
                                 "窓の文", "台本の文", "選ぶ文", "display: none"})
            QVERIFY2(shown.contains(QString::fromUtf8(text)), text);
        // The button sends nothing anywhere.
        window.Evaluate(QStringLiteral("document.querySelector('#contents button').click()"));
        QTest::qWait(500);
        QVERIFY(window.desktop.openedUrls.isEmpty());
        QVERIFY(window.Evaluate(QStringLiteral("location.search")).toString().isEmpty());
    }

    void PreviewComesBackWhenItsRenderProcessEnds() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        frame.show();
        window.Probe().Editor().ReplaceText(QStringLiteral("* 見出し\n戻ってくる本文"));
        QVERIFY(PreviewAndWait(frame));
        QVERIFY(window.ContentsHtml().contains(QStringLiteral("戻ってくる本文")));
        const qint64 pid = window.Probe().Preview().RenderProcessId();
        QVERIFY(pid > 0);
        QSignalSpy recovered(&window.Probe().Preview(), &PreviewPane::Recovered);
        QCOMPARE(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
        // The page is loaded again and shows the text again, without a tick or a command.
        QTRY_COMPARE_WITH_TIMEOUT(recovered.size(), 1, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(window.ContentsHtml().contains(QStringLiteral("戻ってくる本文")),
                                 30000);
        QVERIFY(window.Probe().Preview().RenderProcessId() != pid);
        QCOMPARE(frame.statusBar()->currentMessage(), PreviewUpdater::RecoveredMessage());
        // Later previews go on as before.
        window.Probe().Editor().ReplaceText(QStringLiteral("* 見出し\n次の本文"));
        QVERIFY(PreviewAndWait(frame));
        QVERIFY(window.ContentsHtml().contains(QStringLiteral("次の本文")));
    }

    void TooLargeAManuscriptShowsANotice() {
        RecordingDesktop desktop;
        PreviewPane pane(desktop);
        pane.ShowPage(QStringLiteral(QUIRTLE_RUNTIME_DIR "/index.html"));
        QVERIFY(pane.WaitForPreviewPage());
        QString text = QStringLiteral("大きな原稿");
        PreviewUpdater updater(
            pane, [] { return false; }, [&] { return text; });
        updater.SetLargestFragment(1000);
        QSignalSpy updates(&updater, &PreviewUpdater::Updated);
        auto contentsText = [&] {
            return testing::Evaluate(
                       pane.page(),
                       QStringLiteral("document.getElementById('contents').textContent"))
                .toString();
        };
        updater.Start(text.repeated(200), false);
        QTRY_COMPARE_WITH_TIMEOUT(updates.size(), 1, 15000);
        QCOMPARE(contentsText(), PreviewUpdater::TooLargeNotice());
        // A manuscript that fits is shown again.
        updater.Start(text, false);
        QTRY_COMPARE_WITH_TIMEOUT(updates.size(), 2, 15000);
        QCOMPARE(contentsText(), text + u'\n');
    }
};

// Following the cursor and the double-click run in a program of their own: after the
// many windows of the tests above, a double-click sent by the test to the view no longer
// reaches the page in the same process.
class PreviewFollowTest : public QObject {
    Q_OBJECT
  private slots:
    void PreviewFollowsTheCursorAndDoubleClickTakesItToTheLine() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        frame.resize(1000, 700);
        frame.show();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const QStringList novel = NovelLines(40);
        window.Probe().Editor().ReplaceText(novel.join(u'\n'));
        QVERIFY(PreviewAndWait(frame));
        const QString lastInView = QStringLiteral(
            "(function(){var ps=document.querySelectorAll('#contents p');"
            "var r=ps[ps.length-1].getBoundingClientRect();"
            "return r.bottom>0&&r.top<innerHeight;})()");
        QVERIFY(!window.Evaluate(lastInView).toBool());
        // A jump to the end of the manuscript: the preview scrolls to its last paragraph.
        // (The last line is empty: the block before it is the one to see.)
        window.Probe().Editor().moveCursor(QTextCursor::End);
        QTRY_VERIFY_WITH_TIMEOUT(window.Evaluate(lastInView).toBool(), 15000);

        // A double-click on a paragraph near the end puts the cursor on its line.
        const int line = static_cast<int>(novel.size()) - 12;
        QVERIFY(novel[line].contains(QStringLiteral("段落")));
        window.Probe().Editor().moveCursor(QTextCursor::Start);
        window.Probe().Preview().setFocus();
        const QString findIt =
            QStringLiteral(
                "Array.prototype.find.call(document.querySelectorAll('#contents p'),"
                "function(p){return p.textContent.indexOf(%1)>=0;})")
                .arg(JavaScriptStringLiteral(novel[line].mid(12, 12)));
        // The preview follows the cursor to the start, smoothly: that scroll must have
        // ended, or it would carry the page away from the paragraph scrolled to below.
        const QString position = QStringLiteral(
            "(function(){var e=document.scrollingElement;"
            "var r=document.querySelector('#contents p').getBoundingClientRect();"
            "return (r.bottom>0&&r.top<innerHeight)+' '+e.scrollTop+' '+e.scrollLeft;})()");
        QString last;
        for (int i = 0; i < 150; ++i) {
            QTest::qWait(100);
            const QString now = window.Evaluate(position).toString();
            if (now == last && now.startsWith(QStringLiteral("true"))) break;
            last = now;
        }
        QVERIFY2(last.startsWith(QStringLiteral("true")), qPrintable(last));
        // The paragraph's centre, once it is in view and has stopped moving.
        const QString centre = QStringLiteral(
                                   "(function(){var r=%1.getBoundingClientRect();"
                                   "return r.bottom>0&&r.top<innerHeight?[r.left+r.width/2,"
                                   "r.top+r.height/2]:[];})()")
                                   .arg(findIt);
        const qreal zoom = window.Probe().Preview().zoomFactor();
        QWidget* view = window.Probe().Preview().focusProxy();
        QVERIFY(view);
        // On a loaded machine the page may not have taken the first click as its own yet
        // (its input handling starts late); a user would scroll to it and click again.
        for (int attempt = 0; attempt < 3; ++attempt) {
            window.Evaluate(findIt + QStringLiteral(".scrollIntoView({block:'center'})"));
            QVariantList rect;
            for (int i = 0; i < 50; ++i) {
                QTest::qWait(100);
                const QVariantList now = window.Evaluate(centre).toList();
                if (now.size() == 2 && now == rect) break;
                rect = now;
            }
            if (rect.size() != 2) continue;
            const QPoint at(qRound(rect[0].toDouble() * zoom), qRound(rect[1].toDouble() * zoom));
            QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, at);
            if (QTest::qWaitFor(
                    [&] { return window.Probe().Editor().textCursor().blockNumber() == line; },
                    5000)) {
                break;
            }
        }
        QCOMPARE(window.Probe().Editor().textCursor().blockNumber(), line);
        QTRY_VERIFY_WITH_TIMEOUT(window.Probe().Editor().hasFocus(), 5000);
    }
};

int main(int argc, char* argv[]) {
    quirtle::PrepareWebEngine();
    QApplication application(argc, argv);
    if (qEnvironmentVariableIsSet("QUIRTLE_PREVIEW_FOLLOW")) {
        PreviewFollowTest follow;
        return QTest::qExec(&follow, argc, argv);
    }
    PreviewTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "PreviewTest.moc"
