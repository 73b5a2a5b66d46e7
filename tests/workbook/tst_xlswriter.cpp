#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include "pythontool.h"
#include "xlswriter.h"

// The writer's files are checked with xlrd, a reader that shares no code with it.
class TestXlsWriter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cellKinds();
    void texts_data();
    void texts();
    void numberFormats();
    void dateValues_data();
    void dateValues();
    void refusedDates();
    void columnWidths();
    void sheetName();
    void cellsOutsideTheSheet();
    void emptyWorkbook();
    void largeWorkbook();
    void saveReplacesTheFile();
    void unwritableTarget();

private:
    QJsonObject saveAndDump(const XlsWriter &writer);
    static QJsonObject cell(const QJsonObject &dump, int row, int column);

    QTemporaryDir m_dir;
};

void TestXlsWriter::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(pythonHasXlsModules(), RQ_SYSTEM_PYTHON " lacks xlrd (Debian package python3-xlrd)");
}

QJsonObject TestXlsWriter::saveAndDump(const XlsWriter &writer)
{
    const QString fileName = m_dir.filePath(QStringLiteral("writer.xls"));
    if (!writer.save(fileName))
        return QJsonObject();
    return dumpWorkbook(fileName);
}

QJsonObject TestXlsWriter::cell(const QJsonObject &dump, int row, int column)
{
    return dump.value(QStringLiteral("rows")).toArray().at(row).toArray().at(column).toObject();
}

void TestXlsWriter::cellKinds()
{
    XlsWriter writer;
    QVERIFY(writer.setNumber(0, 0, 42));
    QVERIFY(writer.setNumber(0, 1, -7));
    QVERIFY(writer.setNumber(0, 2, 12.5));
    QVERIFY(writer.setNumber(0, 3, 1e10));
    QVERIFY(writer.setNumber(0, 4, 536870912)); // just beyond a short integer record
    QVERIFY(writer.setText(1, 0, QStringLiteral("Basis")));
    QVERIFY(writer.setText(1, 1, QString()));
    QVERIFY(writer.setText(2, 4, QStringLiteral("Basis"))); // the same text again
    QCOMPARE(writer.rowCount(), 3);
    QCOMPARE(writer.columnCount(), 5);

    const QJsonObject dump = saveAndDump(writer);
    QCOMPARE(dump.value(QStringLiteral("sheets")).toInt(), 1);
    QCOMPARE(dump.value(QStringLiteral("rows")).toArray().size(), 3);
    const double numbers[] = {42, -7, 12.5, 1e10, 536870912};
    for (int c = 0; c < 5; ++c) {
        QCOMPARE(cell(dump, 0, c).value(QStringLiteral("kind")).toString(),
                 QStringLiteral("number"));
        QCOMPARE(cell(dump, 0, c).value(QStringLiteral("value")).toDouble(), numbers[c]);
    }
    QCOMPARE(cell(dump, 1, 0).value(QStringLiteral("value")).toString(), QStringLiteral("Basis"));
    QCOMPARE(cell(dump, 1, 1).value(QStringLiteral("kind")).toString(), QStringLiteral("text"));
    QCOMPARE(cell(dump, 1, 1).value(QStringLiteral("value")).toString(), QString());
    QCOMPARE(cell(dump, 1, 2).value(QStringLiteral("kind")).toString(), QStringLiteral("empty"));
    QCOMPARE(cell(dump, 2, 4).value(QStringLiteral("value")).toString(), QStringLiteral("Basis"));
}

void TestXlsWriter::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QStringLiteral("Fe 12.5");
    QTest::newRow("greek mu") << QStringLiteral("\u03BCm");
    QTest::newRow("micro sign") << QStringLiteral("\u00B5m");
    QTest::newRow("capital mu") << QStringLiteral("\u039CM");
    QTest::newRow("latin-1") << QStringLiteral("d\u00E9p\u00F4t");
    QTest::newRow("cjk") << QStringLiteral("\u6E2C\u5B9A");
    QTest::newRow("overload") << QStringLiteral("   -OL");
    QTest::newRow("long latin-1") << QString(9000, QChar(0xE9));
    QTest::newRow("long wide") << QString(9000, QChar(0x03BC));
    QTest::newRow("longest") << QString(XlsWriter::MaxTextLength, QLatin1Char('x'));
}

void TestXlsWriter::texts()
{
    QFETCH(QString, text);
    XlsWriter writer;
    // A long text ahead makes every text below cross a record boundary somewhere.
    writer.setText(0, 0, QString(8200, QLatin1Char('a')));
    writer.setText(1, 0, text);
    writer.setText(2, 0, text + QLatin1Char('!'));
    const QJsonObject dump = saveAndDump(writer);
    QCOMPARE(cell(dump, 1, 0).value(QStringLiteral("value")).toString(), text);
    // Texts beyond Excel's limit are cut to it.
    QCOMPARE(cell(dump, 2, 0).value(QStringLiteral("value")).toString(),
             (text + QLatin1Char('!')).left(XlsWriter::MaxTextLength));
}

void TestXlsWriter::numberFormats()
{
    XlsWriter writer;
    const QDateTime time(QDate(2024, 3, 4), QTime(5, 6, 7));
    writer.setDateTime(0, 0, time);
    writer.setText(0, 1, QStringLiteral("12.5"), QStringLiteral("@"));
    writer.setNumber(0, 2, 3.14159, QStringLiteral("0.000"));
    writer.setNumber(0, 3, 2.5);
    writer.setDateTime(0, 4, time, QStringLiteral("yyyy-mm-dd"));
    writer.setNumber(0, 5, 7, QStringLiteral("0.000")); // the same custom format again
    const QJsonObject dump = saveAndDump(writer);

    QCOMPARE(cell(dump, 0, 0).value(QStringLiteral("kind")).toString(), QStringLiteral("date"));
    QCOMPARE(cell(dump, 0, 0).value(QStringLiteral("format")).toString(),
             QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    QCOMPARE(cell(dump, 0, 1).value(QStringLiteral("kind")).toString(), QStringLiteral("text"));
    QCOMPARE(cell(dump, 0, 1).value(QStringLiteral("format")).toString(), QStringLiteral("@"));
    QCOMPARE(cell(dump, 0, 2).value(QStringLiteral("kind")).toString(), QStringLiteral("number"));
    QCOMPARE(cell(dump, 0, 2).value(QStringLiteral("format")).toString(), QStringLiteral("0.000"));
    QCOMPARE(cell(dump, 0, 3).value(QStringLiteral("format")).toString(),
             QStringLiteral("General"));
    QCOMPARE(cell(dump, 0, 4).value(QStringLiteral("format")).toString(),
             QStringLiteral("yyyy-mm-dd"));
    QCOMPARE(cell(dump, 0, 5).value(QStringLiteral("format")).toString(), QStringLiteral("0.000"));
}

void TestXlsWriter::dateValues_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("shown");
    QTest::newRow("reading") << QDateTime(QDate(2024, 3, 4), QTime(5, 6, 7))
                             << QStringLiteral("2024-03-04 05:06:07");
    QTest::newRow("first day") << QDateTime(QDate(1900, 3, 1), QTime(0, 0))
                               << QStringLiteral("1900-03-01 00:00:00");
    QTest::newRow("leap day") << QDateTime(QDate(2000, 2, 29), QTime(12, 0, 0))
                              << QStringLiteral("2000-02-29 12:00:00");
    QTest::newRow("last second of a day") << QDateTime(QDate(2023, 12, 31), QTime(23, 59, 59))
                                          << QStringLiteral("2023-12-31 23:59:59");
    QTest::newRow("beyond 2038") << QDateTime(QDate(2038, 1, 19), QTime(3, 14, 8))
                                 << QStringLiteral("2038-01-19 03:14:08");
    QTest::newRow("last day") << QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59))
                              << QStringLiteral("9999-12-31 23:59:59");
}

void TestXlsWriter::dateValues()
{
    QFETCH(QDateTime, time);
    QFETCH(QString, shown);
    XlsWriter writer;
    QVERIFY(writer.setDateTime(0, 0, time));
    const QJsonObject dump = saveAndDump(writer);
    QCOMPARE(dump.value(QStringLiteral("datemode")).toInt(), 0);
    QCOMPARE(cell(dump, 0, 0).value(QStringLiteral("date")).toString(), shown);
}

void TestXlsWriter::refusedDates()
{
    XlsWriter writer;
    QVERIFY(!writer.setDateTime(0, 0, QDateTime()));
    // Excel's own calendar is a day off before March 1900.
    QVERIFY(!writer.setDateTime(0, 0, QDateTime(QDate(1900, 2, 28), QTime(0, 0))));
    QVERIFY(!writer.setDateTime(0, 0, QDateTime(QDate(10000, 1, 1), QTime(0, 0))));
    QCOMPARE(writer.rowCount(), 0);
}

void TestXlsWriter::columnWidths()
{
    XlsWriter writer;
    writer.setText(0, 0, QStringLiteral("No."));
    writer.setText(0, 1, QStringLiteral("Time"));
    for (int r = 1; r <= 3; ++r) {
        writer.setNumber(r, 0, r);
        writer.setDateTime(r, 1, QDateTime(QDate(2024, 3, 4), QTime(5, 6, r)));
    }
    writer.setText(0, 2, QString(300, QLatin1Char('w')));
    writer.autoFitColumns();
    QCOMPARE(writer.columnWidth(0), 4.0);  // "No." and a margin
    QCOMPARE(writer.columnWidth(1), 20.0); // 19 characters shown and a margin
    QCOMPARE(writer.columnWidth(2), XlsWriter::MaxColumnWidth);
    QCOMPARE(writer.columnWidth(3), XlsWriter::DefaultColumnWidth);
    writer.setColumnWidth(5, 30.5);
    QCOMPARE(writer.columnWidth(5), 30.5);

    const QJsonObject widths = saveAndDump(writer).value(QStringLiteral("widths")).toObject();
    QCOMPARE(widths.value(QStringLiteral("0")).toInt(), 4 * 256);
    QCOMPARE(widths.value(QStringLiteral("1")).toInt(), 20 * 256);
    QVERIFY(widths.value(QStringLiteral("1")).toInt() > XlsWriter::DefaultColumnWidth * 256);
    QCOMPARE(widths.value(QStringLiteral("2")).toInt(), 255 * 256);
    QVERIFY(!widths.contains(QStringLiteral("3")));
    QCOMPARE(widths.value(QStringLiteral("5")).toInt(), 30 * 256 + 128);
}

void TestXlsWriter::sheetName()
{
    XlsWriter writer;
    QCOMPARE(writer.sheetName(), QStringLiteral("Sheet1"));
    writer.setSheetName(QStringLiteral("Measure1 \u03BCm/mil"));
    QCOMPARE(writer.sheetName(), QStringLiteral("Measure1 \u03BCm_mil"));
    writer.setText(0, 0, QStringLiteral("x"));
    QCOMPARE(saveAndDump(writer).value(QStringLiteral("name")).toString(),
             QStringLiteral("Measure1 \u03BCm_mil"));
}

void TestXlsWriter::cellsOutsideTheSheet()
{
    XlsWriter writer;
    QVERIFY(!writer.setNumber(XlsWriter::MaxRows, 0, 1));
    QVERIFY(!writer.setText(0, XlsWriter::MaxColumns, QStringLiteral("x")));
    QVERIFY(!writer.setNumber(-1, 0, 1));
    QVERIFY(!writer.setNumber(0, 0, qQNaN()));
    QCOMPARE(writer.rowCount(), 0);

    QVERIFY(writer.setNumber(XlsWriter::MaxRows - 1, 0, 5));
    QJsonObject dump = saveAndDump(writer);
    QCOMPARE(dump.value(QStringLiteral("nrows")).toInt(), XlsWriter::MaxRows);
    QCOMPARE(dump.value(QStringLiteral("last")).toDouble(), 5.0);

    XlsWriter wide;
    QVERIFY(wide.setText(0, XlsWriter::MaxColumns - 1, QStringLiteral("IV")));
    dump = saveAndDump(wide);
    QCOMPARE(dump.value(QStringLiteral("ncols")).toInt(), XlsWriter::MaxColumns);
    QCOMPARE(dump.value(QStringLiteral("last")).toString(), QStringLiteral("IV"));
}

void TestXlsWriter::emptyWorkbook()
{
    XlsWriter writer;
    const QJsonObject dump = saveAndDump(writer);
    QCOMPARE(dump.value(QStringLiteral("sheets")).toInt(), 1);
    QVERIFY(dump.value(QStringLiteral("rows")).toArray().isEmpty());
}

void TestXlsWriter::largeWorkbook()
{
    // About 8 MB of distinct texts: the string table runs through many CONTINUE records and
    // the file's FAT outgrows the 109 sectors its header can list.
    XlsWriter writer;
    const int count = 7600;
    for (int r = 0; r < count; ++r) {
        const QChar fill = r % 7 == 0 ? QChar(0x03BC) : QLatin1Char('a' + r % 26);
        writer.setText(r, 0, QString::number(r) + QString(1000 + r % 50, fill));
    }
    const QString fileName = m_dir.filePath(QStringLiteral("large.xls"));
    QVERIFY(writer.save(fileName));
    QVERIFY(QFileInfo(fileName).size() > 109 * 128 * 512);

    const QJsonArray rows = dumpWorkbook(fileName).value(QStringLiteral("rows")).toArray();
    QCOMPARE(rows.size(), count);
    for (int r = 0; r < count; ++r) {
        const QChar fill = r % 7 == 0 ? QChar(0x03BC) : QLatin1Char('a' + r % 26);
        const QString expected = QString::number(r) + QString(1000 + r % 50, fill);
        const QString actual =
            rows.at(r).toArray().at(0).toObject().value(QStringLiteral("value")).toString();
        if (actual != expected)
            QFAIL(qPrintable(QStringLiteral("row %1 differs").arg(r)));
    }
}

void TestXlsWriter::saveReplacesTheFile()
{
    const QString fileName = m_dir.filePath(QStringLiteral("replaced.xls"));
    XlsWriter large;
    for (int r = 0; r < 2000; ++r)
        large.setText(r, 0, QString::number(r));
    QVERIFY(large.save(fileName));
    XlsWriter small;
    small.setNumber(0, 0, 1);
    QVERIFY(small.save(fileName));
    QCOMPARE(QFileInfo(fileName).size(), small.fileData().size());
    QCOMPARE(dumpWorkbook(fileName).value(QStringLiteral("rows")).toArray().size(), 1);
}

void TestXlsWriter::unwritableTarget()
{
    XlsWriter writer;
    writer.setNumber(0, 0, 1);
    QVERIFY(!writer.save(m_dir.filePath(QStringLiteral("missing/folder/out.xls"))));
    QVERIFY(!writer.save(m_dir.path()));
    QVERIFY(!writer.save(QString()));
}

QTEST_GUILESS_MAIN(TestXlsWriter)
#include "tst_xlswriter.moc"
