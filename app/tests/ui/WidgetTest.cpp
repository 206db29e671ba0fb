// Editor pane, splitter, About box and small helpers, without a browser (offscreen).
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitterHandle>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QtTest>

#include "platform/QtDesktop.h"
#include "preview/PreviewScript.h"
#include "text/ShiftJis.h"
#include "text/Utf8ShiftJis.h"
#include "ui/AboutBox.h"
#include "ui/CentringSplitter.h"
#include "ui/EditorPane.h"
#include "ui/QtPrompts.h"

using namespace quirtle;

class WidgetTest : public QObject {
    Q_OBJECT
  private slots:
    void EditorReadsShiftJisAndGivesUtf8() {
        EditorPane editor;
        // Every character reaches the converter as it is.
        editor.ReplaceText(QStringLiteral("漢字\na\U0001F600b𠮟\n"));
        QCOMPARE(editor.TextBytes(), std::string("漢字\na\U0001F600b𠮟\n"));

        QVERIFY(editor.SetTextBytes("\x82\xa0\r\nx\ry\nz"));
        QCOMPARE(editor.Text(), QStringLiteral("あ\nx\ny\nz"));
        // Bytes that are not Shift_JIS change nothing.
        QVERIFY(!editor.SetTextBytes("\x82"));
        QCOMPARE(editor.Text(), QStringLiteral("あ\nx\ny\nz"));
    }

    void EditorModifiedFlagAndUndoHistory() {
        EditorPane editor;
        QVERIFY(!editor.IsModified());
        QVERIFY(!editor.CanUndo());
        QTest::keyClicks(&editor, QStringLiteral("ab"));
        QTextCursor cursor = editor.textCursor();
        cursor.beginEditBlock();
        cursor.insertText(QStringLiteral(" cd"));
        cursor.endEditBlock();
        QVERIFY(editor.IsModified());
        QVERIFY(editor.CanUndo());
        QVERIFY(!editor.CanRedo());

        // Several steps undo one after another and redo again.
        editor.undo();
        QCOMPARE(editor.Text(), QStringLiteral("ab"));
        QVERIFY(editor.CanRedo());
        editor.undo();
        QCOMPARE(editor.Text(), QString());
        editor.redo();
        editor.redo();
        QCOMPARE(editor.Text(), QStringLiteral("ab cd"));

        editor.SetModified(false);
        QVERIFY(!editor.IsModified());
        editor.EmptyUndoBuffer();
        QVERIFY(!editor.CanUndo());
        QVERIFY(!editor.CanRedo());

        // Replacing the whole text is one undoable edit.
        editor.ReplaceText(QStringLiteral("new"));
        QVERIFY(editor.IsModified());
        editor.undo();
        QCOMPARE(editor.Text(), QStringLiteral("ab cd"));
    }

    void EditorPastesPlainTextOnly() {
        EditorPane editor;
        auto* data = new QMimeData;
        data->setHtml(QStringLiteral("<b>太字</b> <i>x</i>"));
        data->setText(QStringLiteral("太字 x"));
        QGuiApplication::clipboard()->setMimeData(data);
        QVERIFY(editor.CanPaste());
        editor.paste();
        QCOMPARE(editor.Text(), QStringLiteral("太字 x"));
        QVERIFY(!editor.document()->toHtml().contains(QStringLiteral("font-weight:700")));
        QVERIFY(!editor.document()->toHtml().contains(QStringLiteral("font-style:italic")));
    }

    // The saved file has only line breaks: Shift+Enter and pasted separators make lines.
    void EditorBreaksOnlyLines() {
        EditorPane editor;
        editor.show();
        editor.insertPlainText(QStringLiteral("あ"));
        QTest::keyClick(&editor, Qt::Key_Return, Qt::ShiftModifier);
        auto* data = new QMimeData;
        data->setText(QStringLiteral("い\u2028う\u2029え"));
        QGuiApplication::clipboard()->setMimeData(data);
        editor.paste();
        QCOMPARE(editor.document()->blockCount(), 4);
        QCOMPARE(editor.Text(), QStringLiteral("あ\nい\nう\nえ"));
    }

    // Text composed through an input method: a commit goes in once, a cancelled
    // composition leaves nothing.
    void EditorTakesComposedText() {
        EditorPane editor;
        editor.show();
        editor.setFocus();
        QInputMethodEvent composing(QStringLiteral("にほん"), {});
        QApplication::sendEvent(&editor, &composing);
        QCOMPARE(editor.Text(), QString());
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("日本"));
        QApplication::sendEvent(&editor, &commit);
        QCOMPARE(editor.Text(), QStringLiteral("日本"));
        QInputMethodEvent again(QStringLiteral("ご"), {});
        QApplication::sendEvent(&editor, &again);
        QInputMethodEvent cancel;
        QApplication::sendEvent(&editor, &cancel);
        QCOMPARE(editor.Text(), QStringLiteral("日本"));
        editor.undo();
        QCOMPARE(editor.Text(), QString());
    }

    void EditorSelection() {
        EditorPane editor;
        editor.ReplaceText(QStringLiteral("one two"));
        QVERIFY(!editor.HasSelection());
        editor.selectAll();
        QVERIFY(editor.HasSelection());
        QCOMPARE(editor.textCursor().selectedText(), QStringLiteral("one two"));
        // The selection is drawn the same without the focus.
        const QPalette colours = editor.palette();
        QCOMPARE(colours.color(QPalette::Inactive, QPalette::Highlight),
                 colours.color(QPalette::Active, QPalette::Highlight));
    }

    void EditorWrapsLongLinesWithoutHorizontalScrollBar() {
        EditorPane editor;
        editor.resize(200, 200);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        editor.ReplaceText(QString(400, QChar(0x3042)) + QString(300, QLatin1Char('x')));
        QCOMPARE(editor.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(!editor.horizontalScrollBar()->isVisible());
        QCOMPARE(editor.document()->blockCount(), 1);
        QTRY_VERIFY(editor.document()->firstBlock().layout()->lineCount() > 5);
    }

    void EditorFontHoldsJapanese() {
        const QFont font = EditorPane::EditorFont();
        QCOMPARE(font.pointSize(), 10);
        QCOMPARE(font.families().first(), QStringLiteral("ＭＳ ゴシック"));
        const QString used = QFontInfo(font).family();
        if (!QFontDatabase::families(QFontDatabase::Japanese).isEmpty()) {
            QVERIFY2(QFontDatabase::writingSystems(used).contains(QFontDatabase::Japanese),
                     qPrintable(used));
        }
    }

    void SplitterKeepsTheLeftPaneAndCentresOnDoubleClick() {
        CentringSplitter splitter;
        auto* leftPane = new QWidget;
        auto* rightPane = new QWidget;
        splitter.SetPanes(leftPane, rightPane);
        QWidget& right = *rightPane;
        splitter.resize(800, 300);
        splitter.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splitter));
        splitter.SetBarPosition(300);
        QCOMPARE(splitter.BarPosition(), 300);

        splitter.resize(1000, 300);
        QTRY_COMPARE(splitter.width(), 1000);
        QCOMPARE(splitter.BarPosition(), 300);
        QCOMPARE(right.width(), 1000 - 300 - splitter.handleWidth());
        splitter.resize(600, 300);
        QTRY_COMPARE(splitter.width(), 600);
        QCOMPARE(splitter.BarPosition(), 300);

        // A double-click puts the bar's middle at the middle.
        QSplitterHandle* handle = splitter.handle(1);
        const int centred = (600 - splitter.handleWidth()) / 2;
        QTest::mouseDClick(handle, Qt::LeftButton);
        QCOMPARE(splitter.BarPosition(), centred);
        QVERIFY(qAbs(handle->geometry().center().x() - 300) <= 1);
        splitter.SetBarPosition(50);
        QTest::mouseDClick(handle, Qt::LeftButton);
        QCOMPARE(splitter.BarPosition(), centred);

        // A pane never gets narrower than the minimum.
        splitter.SetBarPosition(0);
        QCOMPARE(splitter.BarPosition(), CentringSplitter::kMinimumPaneWidth);
        splitter.SetBarPosition(10000);
        QCOMPARE(right.width(), CentringSplitter::kMinimumPaneWidth);
    }

    void AboutBoxShowsVersionAndClosesEveryWay() {
        QWidget owner;
        owner.setGeometry(100, 100, 900, 600);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        QCOMPARE(AboutBox::AboutText().section('\n', 0, 0), QStringLiteral("quirtle v0.2.3"));

        for (int way = 0; way < 3; ++way) {
            AboutBox box(&owner);
            QCOMPARE(box.windowTitle(), QStringLiteral("About"));
            box.show();
            QVERIFY(QTest::qWaitForWindowExposed(&box));
            const QPoint offset = box.frameGeometry().center() - owner.frameGeometry().center();
            QVERIFY2(offset.manhattanLength() <= 4,
                     qPrintable(QStringLiteral("off by %1,%2").arg(offset.x()).arg(offset.y())));
            auto* text = box.findChild<QLabel*>(QStringLiteral("aboutText"));
            QVERIFY(text);
            QVERIFY(text->text().startsWith(QStringLiteral("quirtle v0.2.3\n\n")));
            if (way == 0) {
                auto* ok = box.findChild<QPushButton*>();
                QVERIFY(ok && ok->isDefault());
                QTest::mouseClick(ok, Qt::LeftButton);
            } else if (way == 1) {
                QTest::keyClick(&box, Qt::Key_Escape);
            } else {
                box.close();
            }
            QTRY_VERIFY(!box.isVisible());
        }
    }

    void ScriptLiteralSurvivesAnyText() {
        QCOMPARE(JavaScriptStringLiteral(u"a\"b\\c\nd\r\t\u2028</script>\x01"),
                 QStringLiteral("\"a\\\"b\\\\c\\nd\\r\\t\\u2028</script>\\u0001\""));
        QVERIFY(ContentsAssignmentScript(u"<p>x</p>")
                    .contains(QStringLiteral("getElementById(\"contents\")")));
    }

    void OnePassScriptEqualsDecodingFirst() {
        // The script made from the bytes in one pass is the one made from the decoded
        // fragment, for line breaks in every combination, escapes and Japanese text, and
        // for every sequence of two bytes; bytes that are not Shift_JIS give no script.
        auto same = [](std::string_view bytes) {
            const auto decoded = text::DecodeShiftJis(bytes);
            const auto script = ContentsAssignmentScriptFromShiftJis(bytes);
            if (decoded.has_value() != script.has_value()) return false;
            return !script || *script == ContentsAssignmentScript(*decoded);
        };
        for (const char* text : {"", "\r", "\n", "\r\n", "\r\r\n", "\n\r", "a\r\nb\rc\nd\r",
                                 "<p>\"q\" \\ \t\x01\x1f</p>\r\n", "\x83\x5c\x95\x5c\\\r\n\x88\xea",
                                 "abc\x83", "\xff", "a\x81\x20"}) {
            QVERIFY2(same(text), text);
        }
        int failures = 0;
        for (int first = 0; first < 256; ++first) {
            for (int second = 0; second < 256; ++second) {
                const char pair[] = {static_cast<char>(first), static_cast<char>(second), '\r'};
                failures += !same(std::string_view(pair, 3));
            }
        }
        QCOMPARE(failures, 0);
    }

    void DesktopEntryProgram() {
        QCOMPARE(ProgramOfDesktopEntry(
                     QStringLiteral("[Desktop Action new]\nExec=other\n[Desktop Entry]\nName=V\n"
                                    "Exec=\"/opt/my viewer/bin/view\" --open %f\n")),
                 std::optional<QString>(QStringLiteral("/opt/my viewer/bin/view")));
        QCOMPARE(ProgramOfDesktopEntry(QStringLiteral("[Desktop Entry]\nExecutable=x\n")),
                 std::nullopt);
        QCOMPARE(ProgramOfDesktopEntry(QStringLiteral("[Desktop Entry]\nExec = gedit %U\n")),
                 std::optional<QString>(QStringLiteral("gedit")));
    }

    // The real save dialog: the first filter is selected, a name typed without extension
    // gets the default suffix, and choosing an existing file (suffix added) asks first.
    void SaveDialogAddsSuffixAndAsksBeforeReplacing() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile existing(dir.filePath("old.txt"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        FileDialogRequest request;
        request.filters = {{QStringLiteral("テキスト ファイル (*.txt)"), QStringLiteral("*.txt")},
                           {QStringLiteral("すべてのファイル (*.*)"), QStringLiteral("*.*")}};
        request.defaultSuffix = QStringLiteral("txt");
        request.initialName = QStringLiteral("無題");
        request.overwritePrompt = true;

        // Types `name` into the open dialog and accepts it; returns the dialog.
        auto typeAndAccept = [&](const QString& name, QString* selectedFilter) {
            QTimer::singleShot(0, [&, name, selectedFilter] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (dialog == nullptr) return;
                *selectedFilter = dialog->selectedNameFilter();
                dialog->setDirectory(dir.path());
                dialog->findChild<QLineEdit*>("fileNameEdit")->setText(name);
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            });
        };

        QtPrompts prompts;
        QString filter;
        typeAndAccept(QStringLiteral("原稿"), &filter);
        QCOMPARE(prompts.GetSaveFileName(nullptr, request),
                 std::optional<QString>(dir.filePath(QStringLiteral("原稿.txt"))));
        QCOMPARE(filter, QStringLiteral("テキスト ファイル (*.txt)"));

        // "old" means old.txt, which exists: the question comes; No keeps the dialog open.
        bool asked = false;
        typeAndAccept(QStringLiteral("old"), &filter);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            poll.stop();
            asked = true;
            box->button(QMessageBox::No)->click();
            QTimer::singleShot(0, [] {
                if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                    d->reject();
                }
            });
        });
        poll.start(10);
        QCOMPARE(prompts.GetSaveFileName(nullptr, request), std::nullopt);
        QVERIFY(asked);
    }

    // The real open dialog with a default suffix: a typed name gets it only when the name
    // alone is no file, so programs without extension stay choosable.
    void OpenDialogAddsSuffixOnlyWhenNeeded() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        for (const char* name : {"editor", "tool.exe"}) {
            QFile file(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        FileDialogRequest request;
        request.filters = {{QStringLiteral("exe ファイル (*.exe)"), QStringLiteral("*.exe")},
                           {QStringLiteral("すべてのファイル (*.*)"), QStringLiteral("*.*")}};
        request.defaultSuffix = QStringLiteral("exe");
        QtPrompts prompts;
        QString filter;
        auto typeAndAccept = [&](const QString& name) {
            QTimer::singleShot(0, [&, name] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (dialog == nullptr) return;
                filter = dialog->selectedNameFilter();
                dialog->setDirectory(dir.path());
                dialog->findChild<QLineEdit*>("fileNameEdit")->setText(name);
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            });
        };
        typeAndAccept(QStringLiteral("editor"));
        QCOMPARE(prompts.GetOpenFileName(nullptr, request),
                 std::optional<QString>(dir.filePath(QStringLiteral("editor"))));
        QCOMPARE(filter, QStringLiteral("exe ファイル (*.exe)"));
        typeAndAccept(QStringLiteral("tool"));
        QCOMPARE(prompts.GetOpenFileName(nullptr, request),
                 std::optional<QString>(dir.filePath(QStringLiteral("tool.exe"))));
    }

    void FileDialogFilters() {
        FileDialogRequest request;
        request.filters = {{QStringLiteral("テキスト ファイル (*.txt)"), QStringLiteral("*.txt")},
                           {QStringLiteral("HTML"), QStringLiteral("*.html")}};
        QCOMPARE(NameFilters(request), QStringList({QStringLiteral("テキスト ファイル (*.txt)"),
                                                    QStringLiteral("HTML (*.html)")}));
    }
};

QTEST_MAIN(WidgetTest)
#include "WidgetTest.moc"
