#include <QFile>
#include <QGuiApplication>
#include <QPdfDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "print/BookSheet.h"
#include "print/PdfPrinter.h"
#include "print/PrintOptions.h"

using namespace quirtle;

namespace {

bool Parse(const QStringList& arguments, PrintOptions& options, QString& error) {
    return ParsePrintOptions(arguments, options, error);
}

// Loads PDF bytes through a file, as quirtle-print reads its own output back.
int PageCount(const QByteArray& pdf, QSizeF* pageSize = nullptr) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("x.pdf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size()) return -1;
    file.close();
    QPdfDocument document;
    if (document.load(path) != QPdfDocument::Error::None) return -1;
    if (pageSize != nullptr && document.pageCount() > 0) *pageSize = document.pagePointSize(0);
    return document.pageCount();
}

}  // namespace

class PrintTest : public QObject {
    Q_OBJECT
  private slots:
    void optionsGiveThePageLayoutAndTheJobs() {
        PrintOptions options;
        QString error;
        QVERIFY(Parse({"--page-size", "a5", "--margins", "15,14,18,13", "--jobs", "2", "a.xhtml",
                       "a.pdf", "b.xhtml", "b.pdf"},
                      options, error));
        QCOMPARE(options.pages.size(), 2);
        QCOMPARE(options.pages[1].input, QStringLiteral("b.xhtml"));
        QCOMPARE(options.pages[1].output, QStringLiteral("b.pdf"));
        QCOMPARE(options.jobs, 2);
        QCOMPARE(options.layout.pageSize().id(), QPageSize::A5);
        const QMarginsF margins = options.layout.margins(QPageLayout::Millimeter);
        QCOMPARE(margins, QMarginsF(13, 15, 14, 18));  // left, top, right, bottom

        // A size in points, as the export asks for its printing canvas.
        PrintOptions custom;
        QVERIFY(Parse({"--page-size", "430.75x595.28", "in.xhtml", "out.pdf"}, custom, error));
        const QSizeF points = custom.layout.pageSize().size(QPageSize::Point);
        QVERIFY(qAbs(points.width() - 430.75) < 0.01);
        QVERIFY(qAbs(points.height() - 595.28) < 0.01);

        PrintOptions sheet;
        QVERIFY(Parse({"--sheet", "s.txt", "out.pdf"}, sheet, error));
        QCOMPARE(sheet.sheet, QStringLiteral("s.txt"));
        QCOMPARE(sheet.sheetOutput, QStringLiteral("out.pdf"));

        PrintOptions defaults;
        QVERIFY(Parse({"in.xhtml", "out.pdf"}, defaults, error));
        QCOMPARE(defaults.layout.pageSize().id(), QPageSize::A4);
        QCOMPARE(defaults.jobs, 1);
    }

    void badOptionsAreNamed() {
        const QList<QPair<QStringList, QString>> cases = {
            {{"--page-size", "A3", "a", "b"}, "unknown page size A3"},
            {{"--page-size", "10x600", "a", "b"}, "unknown page size"},
            {{"--margins", "1,2,3", "a", "b"}, "margins"},
            {{"--margins", "1,2,x,4", "a", "b"}, "margins"},
            {{"--margins", "1,2,-3,4", "a", "b"}, "margins"},
            {{"--jobs", "0", "a", "b"}, "--jobs"},
            {{"--colour", "a", "b"}, "unknown option --colour"},
            {{"only-one"}, "usage"},
            {{"a", "b", "c"}, "usage"},
            {{"--sheet", "s.txt", "a", "b"}, "usage"},
            {{"--page-size"}, "unknown option --page-size"},
        };
        for (const auto& [arguments, expected] : cases) {
            PrintOptions options;
            QString error;
            QVERIFY2(!Parse(arguments, options, error), qPrintable(arguments.join(' ')));
            QVERIFY2(error.contains(expected), qPrintable(error));
        }
    }

    void sheetDrawsItsPagesInTheirSizes() {
        QString error;
        const QByteArray sheet = BookSheet(QStringLiteral(u"font\tIPAMincho\n"
                                                          u"page\t419.53\t595.28\n"
                                                          u"text\t400\t580\t9\tr\t12\n"
                                                          u"line\t0\t0\t30\t0\t0.25\n\n"
                                                          u"page\t300\t420\n"
                                                          u"text\t20\t400\t9\tl\t雨の駅\n")
                                               .toUtf8(),
                                           error);
        QVERIFY2(!sheet.isEmpty(), qPrintable(error));
        QSizeF size;
        QCOMPARE(PageCount(sheet, &size), 2);
        QVERIFY(qAbs(size.width() - 419.53) < 0.6);
        QVERIFY(qAbs(size.height() - 595.28) < 0.6);
    }

    void malformedSheetLinesAreNamed() {
        const QList<QPair<QByteArray, QString>> cases = {
            {"text\t1\t2\t9\tl\tx\n", "line 1: text before the first page"},
            {"page\t100\n", "line 1: a page needs"},
            {"page\t100\t100\ntext\t1\t2\t9\tq\tx\n", "line 2: text needs"},
            {"page\t100\t100\n\nline\t1\t2\t3\n", "line 3: a line needs"},
            {"page\t100\t100\nbox\t1\n", "line 2: unknown item box"},
            {"font\tserif\n", "no page"},
        };
        for (const auto& [description, expected] : cases) {
            QString error;
            QVERIFY(BookSheet(description, error).isEmpty());
            QVERIFY2(error.contains(expected), qPrintable(error));
        }
    }

    void printsALocalPageToPdf() {
        QTemporaryDir folder;
        const QString page = folder.filePath(QStringLiteral("page.xhtml"));
        QFile file(page);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                  u"<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
                                  u"<title>題</title><style>section { break-before: page; }"
                                  u"</style></head><body><section>一</section>"
                                  u"<section>二</section></body></html>")
                       .toUtf8());
        file.close();
        PdfPrinter printer;
        QSignalSpy finished(&printer, &PdfPrinter::finished);
        printer.Print(
            page, QPageLayout(QPageSize(QPageSize::A5), QPageLayout::Portrait, QMarginsF()), 120);
        QVERIFY(finished.wait(120000));
        QVERIFY2(finished[0][1].toString().isEmpty(), qPrintable(finished[0][1].toString()));
        const QByteArray pdf = finished[0][0].toByteArray();
        QVERIFY(pdf.startsWith("%PDF"));
        QCOMPARE(PageCount(pdf), 2);  // a forced break between the two sections
        QCOMPARE(printer.Title(), QStringLiteral(u"題"));
    }

    void aMissingPageIsReported() {
        PdfPrinter printer;
        QSignalSpy finished(&printer, &PdfPrinter::finished);
        printer.Print(QStringLiteral("/nonexistent/page.xhtml"), QPageLayout(), 10);
        QCOMPARE(finished.size(), 1);
        QVERIFY(finished[0][0].toByteArray().isEmpty());
        QVERIFY(finished[0][1].toString().contains("cannot read"));
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QGuiApplication application(argc, argv);
    PrintTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PrintTest.moc"
