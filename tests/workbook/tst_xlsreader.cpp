#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "export/xlsreader.h"
#include "export/xlswriter.h"
#include "pythontool.h"

// The reader against workbooks from xlwt, a writer that shares no code with the logger, and
// against the logger's own writer.
class TestXlsReader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void referenceWorkbook();
    void writerWorkbook();
    void timesOfADay();
    void largeStringTable();
    void emptyWorkbook();
    void notAWorkbook_data();
    void notAWorkbook();

private:
    QString writeFile(const QString &name, const QByteArray &data);

    QTemporaryDir m_dir;
    QString m_reference;
};

void TestXlsReader::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(pythonHasXlsModules(), RQ_SYSTEM_PYTHON " lacks xlwt (Debian package python3-xlwt)");
    m_reference = m_dir.filePath(QStringLiteral("reference.xls"));
    QVERIFY(runPythonScript(QStringLiteral("xlsmake.py"), {m_reference}));
}

QString TestXlsReader::writeFile(const QString &name, const QByteArray &data)
{
    const QString fileName = m_dir.filePath(name);
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return QString();
    return fileName;
}

static bool isNumber(const QVariant &cell, double value)
{
    return (cell.userType() == QMetaType::Int || cell.userType() == QMetaType::Double) &&
           cell.toDouble() == value;
}

void TestXlsReader::referenceWorkbook()
{
    XlsReader reader;
    QVERIFY(reader.open(m_reference));
    const QList<QVariantList> rows = reader.rows();
    // The used range starts at B2 and holds four rows of five cells; the second sheet is not read.
    QCOMPARE(rows.size(), 4);
    for (const QVariantList &row : rows)
        QCOMPARE(row.size(), 5);

    QCOMPARE(rows.at(0),
             (QVariantList{QStringLiteral("No."), QStringLiteral("Time"), QStringLiteral("Value"),
                           QStringLiteral("Unit"), QStringLiteral("Basis")}));

    QVERIFY(isNumber(rows.at(1).at(0), 1));
    QCOMPARE(rows.at(1).at(1).userType(), int(QMetaType::QDateTime));
    QCOMPARE(rows.at(1).at(1).toDateTime(), QDateTime(QDate(2024, 3, 4), QTime(5, 6, 7)));
    QCOMPARE(rows.at(1).at(2), QVariant(QStringLiteral("12.5")));
    QCOMPARE(rows.at(1).at(3), QVariant(QStringLiteral("\u03BCm")));
    QCOMPARE(rows.at(1).at(4), QVariant(QStringLiteral("Fe")));

    QVERIFY(isNumber(rows.at(2).at(0), 2.75));
    QCOMPARE(rows.at(2).at(1), QVariant(QStringLiteral("2024-03-04 05:06:08")));
    QVERIFY(isNumber(rows.at(2).at(2), 25.4));
    QCOMPARE(rows.at(2).at(3), QVariant(QStringLiteral("mil")));

    QVERIFY(isNumber(rows.at(3).at(0), -3));
    QCOMPARE(rows.at(3).at(1).toDateTime(), QDateTime(QDate(2023, 12, 31), QTime(0, 0)));
    QVERIFY(rows.at(3).at(2).isNull());
    QCOMPARE(rows.at(3).at(3), QVariant(QStringLiteral("\u00B5m \u039CM \u00E9")));
    // A time of day comes back on Excel's day zero.
    QCOMPARE(rows.at(3).at(4).toDateTime(), QDateTime(QDate(1899, 12, 30), QTime(13, 14, 15)));
}

void TestXlsReader::writerWorkbook()
{
    XlsWriter writer;
    writer.setText(2, 2, QStringLiteral("No."));
    writer.setNumber(3, 2, 1);
    writer.setNumber(3, 3, -0.125);
    writer.setDateTime(3, 4, QDateTime(QDate(2024, 3, 4), QTime(5, 6, 7)));
    writer.setText(3, 5, QStringLiteral("12.5"), QStringLiteral("@"));
    writer.setText(3, 6, QStringLiteral("\u03BCm"), QStringLiteral("@"));
    writer.setNumber(5, 3, 1e10);
    writer.setText(5, 4, QStringLiteral("\u00B5m d\u00E9p\u00F4t")); // one byte a character
    const QString fileName = m_dir.filePath(QStringLiteral("writer.xls"));
    QVERIFY(writer.save(fileName));

    XlsReader reader;
    QVERIFY(reader.open(fileName));
    const QList<QVariantList> rows = reader.rows();
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows.at(0),
             (QVariantList{QStringLiteral("No."), QVariant(), QVariant(), QVariant(), QVariant()}));
    QVERIFY(isNumber(rows.at(1).at(0), 1));
    QVERIFY(isNumber(rows.at(1).at(1), -0.125));
    QCOMPARE(rows.at(1).at(2).userType(), int(QMetaType::QDateTime));
    QCOMPARE(rows.at(1).at(2).toDateTime(), QDateTime(QDate(2024, 3, 4), QTime(5, 6, 7)));
    QCOMPARE(rows.at(1).at(3), QVariant(QStringLiteral("12.5")));
    QCOMPARE(rows.at(1).at(4), QVariant(QStringLiteral("\u03BCm")));
    QCOMPARE(rows.at(2),
             (QVariantList{QVariant(), QVariant(), QVariant(), QVariant(), QVariant()}));
    QVERIFY(isNumber(rows.at(3).at(1), 1e10));
    QCOMPARE(rows.at(3).at(2), QVariant(QStringLiteral("\u00B5m d\u00E9p\u00F4t")));
}

void TestXlsReader::timesOfADay()
{
    // Every second of 18 hours: no time may come back a second off.
    XlsWriter writer;
    const QDateTime start(QDate(2024, 3, 4), QTime(0, 0));
    for (int r = 0; r < XlsWriter::MaxRows; ++r)
        writer.setDateTime(r, 0, start.addSecs(r));
    const QString fileName = m_dir.filePath(QStringLiteral("times.xls"));
    QVERIFY(writer.save(fileName));
    XlsReader reader;
    QVERIFY(reader.open(fileName));
    const QList<QVariantList> rows = reader.rows();
    QCOMPARE(rows.size(), XlsWriter::MaxRows);
    for (int r = 0; r < rows.size(); ++r) {
        if (rows.at(r).at(0).toDateTime() != start.addSecs(r))
            QFAIL(qPrintable(
                QStringLiteral("row %1 reads %2").arg(r).arg(rows.at(r).at(0).toString())));
    }
}

void TestXlsReader::largeStringTable()
{
    // Strings cut across CONTINUE records and a file with more FAT sectors than its header lists.
    XlsWriter writer;
    const int count = 7600;
    const auto text = [](int r) {
        const QChar fill = r % 5 == 0 ? QChar(0x03BC) : QLatin1Char('a' + r % 26);
        return QString::number(r) + QString(1000 + r % 50, fill);
    };
    for (int r = 0; r < count; ++r)
        writer.setText(r, 0, text(r));
    const QString fileName = m_dir.filePath(QStringLiteral("large.xls"));
    QVERIFY(writer.save(fileName));
    QVERIFY(QFileInfo(fileName).size() > 109 * 128 * 512);
    XlsReader reader;
    QVERIFY(reader.open(fileName));
    const QList<QVariantList> rows = reader.rows();
    QCOMPARE(rows.size(), count);
    for (int r = 0; r < count; ++r) {
        if (rows.at(r).at(0).toString() != text(r))
            QFAIL(qPrintable(QStringLiteral("row %1 differs").arg(r)));
    }
}

void TestXlsReader::emptyWorkbook()
{
    const QString fileName = m_dir.filePath(QStringLiteral("empty.xls"));
    QVERIFY(XlsWriter().save(fileName));
    XlsReader reader;
    QVERIFY(reader.open(fileName));
    QVERIFY(reader.rows().isEmpty());
}

void TestXlsReader::notAWorkbook_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::newRow("missing") << m_dir.filePath(QStringLiteral("missing.xls"));
    QTest::newRow("empty file") << writeFile(QStringLiteral("empty file.xls"), QByteArray());
    QTest::newRow("csv") << writeFile(QStringLiteral("table.xls"),
                                      "No.,Time,Value,Unit,Basis\n1,2024-03-04 05:06:07,12.5\n");
    QTest::newRow("folder") << m_dir.path();

    XlsWriter writer;
    writer.setText(0, 0, QStringLiteral("No."));
    QByteArray data = writer.fileData();
    QTest::newRow("cut short") << writeFile(QStringLiteral("short.xls"), data.left(1536));
    // A compound file whose stream is not called "Workbook" is some other document.
    const QByteArray name = QByteArray("W\0o\0r\0k\0b\0o\0o\0k\0", 16);
    QVERIFY(data.lastIndexOf(name) > 0);
    data.replace(data.lastIndexOf(name), name.size(), QByteArray("D\0o\0c\0u\0m\0e\0n\0t\0", 16));
    QTest::newRow("other document") << writeFile(QStringLiteral("document.xls"), data);
}

void TestXlsReader::notAWorkbook()
{
    QFETCH(QString, fileName);
    QVERIFY(!fileName.isEmpty());
    XlsReader reader;
    QVERIFY(reader.open(m_reference));
    QVERIFY(!reader.open(fileName));
    QVERIFY(reader.rows().isEmpty());
}

QTEST_GUILESS_MAIN(TestXlsReader)
#include "tst_xlsreader.moc"
