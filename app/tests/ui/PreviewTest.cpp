// The preview page under Xvfb: what the timer and the converter put into its DOM.
#include <QApplication>
#include <QtTest>

#include "TestWindow.h"
#include "support/ScriptedPrompts.h"
#include "ui/Commands.h"
#include "ui/EditorPane.h"
#include "ui/MainFrame.h"
#include "ui/PreviewPane.h"
#include "ui/ProgramStart.h"

using namespace quirtle;
using namespace quirtle::testing;

namespace {

using Window = TestWindow;

PreviewConverter FixedHtml(std::string html) {
    return [html](const std::string&) -> std::optional<std::string> { return html; };
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
        frame.RunCommand(command::kPreview);
        QCOMPARE(updates.size(), 0);
        // A later good preview shows the page is live, and that nothing came before it.
        frame.SetPreviewConverter(FixedHtml("<p id=\"mark\">ok</p>"));
        QVERIFY(window.ContentsHtml().contains(QStringLiteral("placeholder")));
        frame.RunCommand(command::kPreview);
        QTRY_COMPARE_WITH_TIMEOUT(window.ContentsHtml(), QStringLiteral("<p id=\"mark\">ok</p>"),
                                  15000);

        Window bare;
        bare.folder.WriteFile(QStringLiteral("index.html"),
                              "<html><body><p id=\"other\">own</p></body></html>");
        QVERIFY(bare.Create());
        bare.frame->SetPreviewConverter(FixedHtml("<p>new</p>"));
        bare.frame->RunCommand(command::kPreview);
        QCOMPARE(bare.Evaluate(QStringLiteral("document.body.innerHTML")).toString(),
                 QStringLiteral("<p id=\"other\">own</p>"));
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
