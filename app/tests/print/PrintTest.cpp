#include <QFile>
#include <QGuiApplication>
#include <QPdfDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "print/PageNumberSheet.h"
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
    void optionsGiveThePageLayout() {
        PrintOptions options;
        QString error;
        QVERIFY(Parse({"--page-size", "a5", "--margins", "15,14,18,13", "--page-numbers", "n.pdf",
                       "--number-font", "IPAMincho", "in.xhtml", "out.pdf"},
                      options, error));
        QCOMPARE(options.input, QStringLiteral("in.xhtml"));
        QCOMPARE(options.output, QStringLiteral("out.pdf"));
        QCOMPARE(options.pageNumbers, QStringLiteral("n.pdf"));
        QCOMPARE(options.numberFont, QStringLiteral("IPAMincho"));
        QCOMPARE(options.layout.pageSize().id(), QPageSize::A5);
        const QMarginsF margins = options.layout.margins(QPageLayout::Millimeter);
        QCOMPARE(margins, QMarginsF(13, 15, 14, 18));  // left, top, right, bottom

        PrintOptions defaults;
        QVERIFY(Parse({"in.xhtml", "out.pdf"}, defaults, error));
        QCOMPARE(defaults.layout.pageSize().id(), QPageSize::A4);
        QVERIFY(defaults.pageNumbers.isEmpty());
    }

    void badOptionsAreNamed() {
        const QList<QPair<QStringList, QString>> cases = {
            {{"--page-size", "A3", "a", "b"}, "unknown page size A3"},
            {{"--margins", "1,2,3", "a", "b"}, "margins"},
            {{"--margins", "1,2,x,4", "a", "b"}, "margins"},
            {{"--margins", "1,2,-3,4", "a", "b"}, "margins"},
            {{"--colour", "a", "b"}, "unknown option --colour"},
            {{"only-one"}, "usage"},
            {{"a", "b", "c"}, "usage"},
            {{"--page-size"}, "unknown option --page-size"},
        };
        for (const auto& [arguments, expected] : cases) {
            PrintOptions options;
            QString error;
            QVERIFY2(!Parse(arguments, options, error), qPrintable(arguments.join(' ')));
            QVERIFY2(error.contains(expected), qPrintable(error));
        }
    }

    void sheetHasOnePagePerNumberInThePageSize() {
        const QPageLayout layout(QPageSize(QPageSize::A5), QPageLayout::Portrait,
                                 QMarginsF(14, 15, 14, 18), QPageLayout::Millimeter);
        QSizeF size;
        QCOMPARE(PageCount(
                     PageNumberSheet(3, layout, QStringLiteral("serif"), QStringLiteral(u"雨の駅")),
                     &size),
                 3);
        QVERIFY(qAbs(size.width() - 419.5) < 2);
        QVERIFY(qAbs(size.height() - 595.3) < 2);
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
