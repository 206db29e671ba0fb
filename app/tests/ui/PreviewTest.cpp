// The preview page under Xvfb: what the timer and the converter put into its DOM.
#include <QApplication>
#include <QDir>
#include <QtTest>
#include <chrono>
#include <mutex>
#include <thread>

#include "TestWindow.h"
#include "preview/PreviewPane.h"
#include "support/ScriptedPrompts.h"
#include "text/ShiftJis.h"
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

QByteArray Sjis(const QString& text) {
    return QByteArray::fromStdString(text::EncodeShiftJis(text).bytes);
}

}  // namespace

class PreviewTest : public QObject {
    Q_OBJECT
  private slots:
    void TypedManuscriptReachesThePage() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        QVERIFY(frame.Preview().IsPageLoaded());
        // Before any change the page shows its own content.
        QVERIFY(window.ContentsHtml().contains(QStringLiteral("placeholder")));

        frame.show();
        frame.Editor().setFocus();
        QTest::keyClicks(&frame.Editor(), QStringLiteral("* "));
        frame.Editor().textCursor().insertText(QStringLiteral("見出し"));
        QTest::keyClick(&frame.Editor(), Qt::Key_Return);
        frame.Editor().textCursor().insertText(QStringLiteral("_漢字[かんじ]を読む。"));
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
        window.frame->Editor().ReplaceText(QStringLiteral("*見出し\n_閉じない\n:cmd"));
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
        frame.SetPreviewConverter([](const std::string&) { return std::nullopt; });
        QSignalSpy updates(&frame, &MainFrame::PreviewUpdated);
        frame.Editor().ReplaceText(QStringLiteral("text"));
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
        QVERIFY(!frame.PreviewFolder().isEmpty());
        QVERIFY(frame.PreviewsThroughFile());
        // Japanese with the bytes 0x5C as second byte (ソ, 表), half-width katakana, quotes,
        // a backslash, line breaks and what would end a script.
        const QString text = QStringLiteral("ソ表\\ \"q\" 'a' ｶﾅ ${x} `t` 雨が降る");
        QByteArray fragment =
            "<p id=\"t\" title=\"&quot;\">" + Sjis(text) + "&lt;/script&gt;</p>\r\n<p>2</p>";
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
                 2);
        // It came through the file, which holds the fragment as UTF-8.
        QVERIFY(frame.PreviewsThroughFile());
        QFile file(frame.PreviewFolder() + QStringLiteral("/contents.html"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto units = text::ConvertToUtf16("CP932", fragment.toStdString());
        QVERIFY(units.has_value());
        QCOMPARE(file.readAll(), QString::fromStdU16String(*units).toUtf8());

        // The same text through the real converter, from the editor.
        frame.SetPreviewConverter(&ConvertForPreview);
        frame.Editor().ReplaceText(QStringLiteral("* 見出し<&>\n_漢字[かんじ]と\\_記号\"。"));
        frame.RunCommand(command::kPreview);
        QTRY_COMPARE_WITH_TIMEOUT(updates.size(), 2, 15000);
        QCOMPARE(window
                     .Evaluate(QStringLiteral("document.querySelector('#contents h1')"
                                              ".textContent"))
                     .toString(),
                 QStringLiteral("見出し<&>"));
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
        QVERIFY(frame.PreviewsThroughFile());
        QSignalSpy updates(&frame, &MainFrame::PreviewUpdated);
        frame.Editor().ReplaceText(QStringLiteral("一つ目 \"x\""));
        frame.RunCommand(command::kPreview);
        QTRY_COMPARE_WITH_TIMEOUT(updates.size(), 1, 15000);
        QCOMPARE(window.ContentsHtml(), QStringLiteral("<p>一つ目 \"x\"</p>\n"));
        QVERIFY(!frame.PreviewsThroughFile());
        frame.Editor().ReplaceText(QStringLiteral("二つ目"));
        frame.RunCommand(command::kPreview);
        QTRY_COMPARE_WITH_TIMEOUT(updates.size(), 2, 15000);
        QCOMPARE(window.ContentsHtml(), QStringLiteral("<p>二つ目</p>\n"));
    }

    void NewestPreviewWins() {
        RecordingConverter converter;
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        frame.SetPreviewConverter(converter.Function());
        QSignalSpy updates(&frame, &MainFrame::PreviewUpdated);
        // The first is still being made when the second and third are asked for: the second
        // is outdated before it starts, and the first is outdated when it is done.
        frame.Editor().ReplaceText(QStringLiteral("slow first"));
        frame.UpdatePreview();
        QTest::qWait(50);
        frame.Editor().ReplaceText(QStringLiteral("second"));
        frame.UpdatePreview();
        frame.Editor().ReplaceText(QStringLiteral("third"));
        frame.UpdatePreview();
        QVERIFY(frame.PreviewInProgress());
        QTRY_VERIFY_WITH_TIMEOUT(!frame.PreviewInProgress(), 15000);
        QCOMPARE(converter.Seen(), (std::vector<std::string>{"slow first", "third"}));
        QCOMPARE(window.ContentsHtml(), QStringLiteral("<p id=\"made\">third</p>"));
        QCOMPARE(updates.size(), 1);

        // A slow preview, then a quick one asked for while the slow one's page answer is
        // still to come: the page ends with the quick (newer) one.
        frame.Editor().ReplaceText(QStringLiteral("slow again"));
        frame.UpdatePreview();
        QTRY_VERIFY_WITH_TIMEOUT(converter.Seen().size() == 3, 15000);
        frame.Editor().ReplaceText(QStringLiteral("quick"));
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
        QCOMPARE(frame.PreviewFolder(), QString());
        QVERIFY(!frame.PreviewsThroughFile());
        frame.Editor().ReplaceText(QStringLiteral("本文 \"a\" <b>"));
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
        other.frame->Editor().ReplaceText(QStringLiteral("消えた後"));
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
            window.frame->Editor().ReplaceText(QStringLiteral("slow"));
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
        window.frame->Editor().ReplaceText(QStringLiteral("text"));
        window.frame->RunCommand(command::kPreview);  // must not fail or crash
        QVERIFY(window.prompts.messages.isEmpty());
    }

    void FragmentArrivesExactlyAndScrollPositionStays() {
        Window window;
        QVERIFY(window.Create());
        MainFrame& frame = *window.frame;
        frame.resize(900, 500);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));

        // Quotes, backslashes, line separators and a closing script tag arrive as sent.
        const QString tricky = QStringLiteral("<p>\"a\" \\ b\u2028c &lt;/script&gt; 漢字</p>");
        frame.Preview().SetContents(tricky);
        QTRY_COMPARE_WITH_TIMEOUT(
            window.Evaluate(QStringLiteral("document.querySelector('#contents p').textContent"))
                .toString(),
            QStringLiteral("\"a\" \\ b\u2028c </script> 漢字"), 15000);

        QString tall;
        for (int i = 0; i < 300; ++i) tall += QStringLiteral("<p>行 %1</p>").arg(i);
        frame.Preview().SetContents(tall);
        QTRY_VERIFY_WITH_TIMEOUT(
            window.Evaluate(QStringLiteral("document.documentElement.scrollHeight")).toInt() > 2000,
            15000);
        window.Evaluate(
            QStringLiteral("window.scrollTo(0, 1200); window.dispatchEvent(new Event('scroll'))"));
        QTRY_COMPARE_WITH_TIMEOUT(window.Evaluate(QStringLiteral("window.scrollY")).toInt(), 1200,
                                  15000);
        frame.Preview().SetContents(tall + QStringLiteral("<p>追加</p>"));
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
        frame.Preview().SetContents(tall);
        QTRY_VERIFY_WITH_TIMEOUT(
            window.Evaluate(QStringLiteral("document.documentElement.scrollWidth")).toInt() > 3000,
            15000);
        // A user's scrolling ends in scroll events; the test sends the one the page
        // remembers its place from at once, instead of waiting for the next frame.
        window.Evaluate(
            QStringLiteral("window.scrollTo(-1500, 0); window.dispatchEvent(new Event('scroll'))"));
        QTRY_COMPARE_WITH_TIMEOUT(window.Evaluate(QStringLiteral("window.scrollX")).toInt(), -1500,
                                  15000);
        frame.Preview().SetContents(tall + QStringLiteral("<p>追加</p>"));
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
        const QUrl page = frame.Preview().url();
        frame.Preview().SetContents(QStringLiteral(
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
        QTRY_COMPARE_WITH_TIMEOUT(frame.Preview().url().fragment(), QStringLiteral("top"), 15000);
        QCOMPARE(frame.Preview().url().adjusted(QUrl::RemoveFragment), page);
        QCOMPARE(window.desktop.openedUrls.size(), 2);
        QVERIFY(window.ContentsHtml().contains(QStringLiteral("id=\"out\"")));
    }
};

int main(int argc, char* argv[]) {
    quirtle::PrepareWebEngine();
    QApplication application(argc, argv);
    PreviewTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "PreviewTest.moc"
