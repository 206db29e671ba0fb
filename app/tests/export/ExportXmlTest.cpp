// The export XML of text Shift_JIS cannot hold: still Shift_JIS, such characters as
// numeric character references that an XML reader reads back as the characters, never
// ill-formed; text Shift_JIS can hold gives exactly the bytes it always gave.
#include <QDir>
#include <QFile>
#include <QXmlStreamReader>
#include <QtTest>

#include "ConvertManuscript.h"
#include "export/ExportXml.h"
#include "text/ShiftJis.h"

using quirtle::MakeExportXml;

namespace {

struct Read {
    bool wellFormed = false;
    QStringList names;       // element names in document order
    QStringList attributes;  // "name=value" in document order
    QString text;            // all character data
};

Read ReadXml(const std::string& xml) {
    Read read;
    const std::optional<QString> decoded = quirtle::text::DecodeShiftJis(xml);
    if (!decoded) return read;
    QXmlStreamReader reader(*decoded);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            read.names << reader.name().toString();
            for (const QXmlStreamAttribute& a : reader.attributes())
                read.attributes << a.name().toString() + u'=' + a.value().toString();
        } else if (reader.isCharacters()) {
            read.text += reader.text();
        }
    }
    read.wellFormed = !reader.hasError();
    return read;
}

std::string ShiftJisPath(const QString& text) {
    std::string xml;
    quirtle::ConvertManuscript(quirtle::text::EncodeShiftJis(text).bytes, quirtle::OutputMode::Xml,
                               xml);
    return xml;
}

}  // namespace

class ExportXmlTest : public QObject {
    Q_OBJECT

  private slots:
    void charactersBeyondShiftJisAreReferences_data() {
        QTest::addColumn<QString>("manuscript");
        QTest::addColumn<QString>("reference");  // in the bytes
        QTest::addColumn<QString>("text");       // read back as character data
        QTest::addColumn<QString>("attribute");  // read back as an attribute, if any
        QTest::newRow("kanji and emoji") << "𠮟られて剝がれた♡‼😀"
                                         << "&#x20B9F;"
                                         << "𠮟られて剝がれた♡‼😀"
                                         << "";
        QTest::newRow("yen sign") << "¥100と‾"
                                  << "&#xA5;"
                                  << "¥100と‾"
                                  << "";
        QTest::newRow("ruby reading") << "_頰[ほ😀ほ]"
                                      << "&#x1F600;"
                                      << "頰"
                                      << "param0=ほ😀ほ";
        QTest::newRow("class and id") << "*(😀#𠮟) 見出し"
                                      << "&#x1F600;"
                                      << "見出し"
                                      << "class=😀";
        QTest::newRow("not an XML character")
            << QStringLiteral(u"a\uFFFEb") << "&#xFFFD;" << QStringLiteral(u"a\uFFFDb") << "";
        // Names cannot hold references: the line is shown as it was written.
        QTest::newRow("division name") << "|{手紙𠮟} 本文😀"
                                       << "&#x20B9F;"
                                       << "|{手紙𠮟} 本文😀"
                                       << "";
        QTest::newRow("inline command name") << "前_文{x𠮟} 後\n次の行😀"
                                             << "&#x20B9F;"
                                             << "前_文{x𠮟} 後次の行😀"
                                             << "";
    }
    void charactersBeyondShiftJisAreReferences() {
        QFETCH(QString, manuscript);
        QFETCH(QString, reference);
        QFETCH(QString, text);
        QFETCH(QString, attribute);
        const std::optional<std::string> xml = MakeExportXml(manuscript);
        QVERIFY(xml);
        QVERIFY(xml->starts_with("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><document>"));
        QVERIFY2(xml->find(reference.toStdString()) != std::string::npos, xml->c_str());
        Read read = ReadXml(*xml);
        QVERIFY2(read.wellFormed, xml->c_str());
        QCOMPARE(read.text.remove(u'\n'), text);
        if (!attribute.isEmpty()) QVERIFY2(read.attributes.contains(attribute), xml->c_str());
        for (const QString& name : read.names) QVERIFY(!name.contains(u"𠮟"));
    }

    // Text Shift_JIS can hold: the bytes of the Shift_JIS conversion, byte for byte.
    void holdableTextGivesTheBytesOfShiftJis() {
        QStringList files = {QStringLiteral(QUIRTLE_SOURCE_DIR "/samples/sample.txt")};
        const QDir real(QStringLiteral(QUIRTLE_SOURCE_DIR "/../shared/realtext"));
        for (const QString& name : real.entryList({QStringLiteral("*.txt")}, QDir::Files))
            files << real.filePath(name);
        for (const QString& path : files) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const std::optional<QString> text =
                quirtle::text::DecodeShiftJis(file.readAll().toStdString());
            QVERIFY2(text, qPrintable(path));
            QVERIFY2(MakeExportXml(*text) == ShiftJisPath(*text), qPrintable(path));
        }
        const QString marks = QStringLiteral("\\_ソ表\\\n|{名前} 〜―ｶﾅ\n:image(a) \"b c\"\n");
        QVERIFY(MakeExportXml(marks) == ShiftJisPath(marks));
    }
};

QTEST_GUILESS_MAIN(ExportXmlTest)
#include "ExportXmlTest.moc"
