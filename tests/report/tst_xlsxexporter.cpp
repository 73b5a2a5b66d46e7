#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "dmmdata.h"
#include "itemdata.h"
#include "iso19840rule.h"
#include "csvexporter.h"
#include "xlsxexporter.h"

namespace {
DmmData *reading(double um, int overload = 0)
{
    auto *r = new DmmData;
    r->setTime(QDateTime(QDate(2026, 12, 8), QTime(9, 15, 30)));
    r->setUmValue(um);
    r->setMilValue(um / 25.4);
    r->setUmText(QString::number(um));
    r->setMilText(QString::number(um / 25.4, 'f', 2));
    r->setOverload(overload);
    r->setUnit(QStringLiteral("\u03BCm"));
    r->setBasis(QStringLiteral("Fe"));
    return r;
}

// The workbook as openpyxl, a reader we did not write, sees it.
QJsonValue openpyxl(const QString &fileName, bool namesOnly = false)
{
    QProcess python;
    QStringList arguments{QStringLiteral(RQ_TEST_SOURCE_DIR "/xlsxread.py"), fileName};
    if (namesOnly)
        arguments << QStringLiteral("names");
    python.start(QStringLiteral(RQ_SYSTEM_PYTHON), arguments);
    if (!python.waitForFinished(300000) || python.exitCode() != 0) {
        qWarning().noquote() << python.readAllStandardError();
        return {};
    }
    const QJsonDocument json = QJsonDocument::fromJson(python.readAllStandardOutput());
    return json.isArray() ? QJsonValue(json.array()) : QJsonValue(json.object());
}

// "type:value" of a row's cells, and the value column's number format.
QStringList cells(const QJsonArray &row)
{
    QStringList out;
    for (const QJsonValue &cell : row) {
        const QJsonArray c = cell.toArray();
        out << c.at(0).toString() + QLatin1Char(':') + c.at(1).toString();
    }
    return out;
}
} // namespace

class TestXlsxExporter : public QObject
{
    Q_OBJECT

private slots:
    void openpyxlReadsTheSheets();
    void sheetNames_data();
    void sheetNames();
    void cancelledExportKeepsTheEarlierFile_data();
    void cancelledExportKeepsTheEarlierFile();
    void largeItemGoesOnOverSheets();

private:
    QTemporaryDir dir;
};

void TestXlsxExporter::openpyxlReadsTheSheets()
{
    ItemData coat(QStringLiteral("Deck [A]: \u7532\u677F"), ItemData::MeasureData);
    coat.setUnit(QStringLiteral("\u03BCm"));
    CoatingRequirement iso(QStringLiteral("iso19840"), QStringLiteral("\u03BCm"));
    iso.setValue(QStringLiteral("nominal"), 100);
    coat.setRequirement(iso);
    for (DmmData *r : {reading(120.5), reading(0, 1), reading(70)})
        coat.appendReading(r, false);
    coat.updateStatistics();
    coat.appendToTrail({{0, true, QStringLiteral("Probe lifted or tilted"), QStringLiteral("jdoe"),
                         QDateTime(QDate(2026, 12, 8), QTime(9, 20))}});
    coat.setExcluded({0}, QStringLiteral("Probe lifted or tilted"));
    ItemData hull(QStringLiteral("Hull"), ItemData::ImportData);
    hull.setUnit(QStringLiteral("mil"));
    hull.appendReading(reading(127), false);
    hull.updateStatistics();

    const QString fileName = dir.filePath(QStringLiteral("two.xlsx"));
    QString error;
    QStringList notes;
    QVERIFY2(XlsxExporter::writeFile(fileName, {&coat, &hull}, {}, &error, &notes),
             qPrintable(error));
    QVERIFY(notes.isEmpty());
    const QJsonObject book = openpyxl(fileName).toObject();
    QCOMPARE(book.keys().size(), 4);
    const QJsonArray deck = book.value(QStringLiteral("Deck _A__ \u7532\u677F")).toArray();
    QCOMPARE(deck.size(), 4);
    QCOMPARE(cells(deck.at(0).toArray()),
             QStringList({"text:No.", "text:Time", "text:Value", "text:Unit", "text:Basis",
                          "text:Over range", "text:Mark", "text:Excluded"}));
    // An excluded reading keeps its value; the reason stands beside it.
    QCOMPARE(cells(deck.at(1).toArray()),
             QStringList({"number:1.0", "date:2026-12-08 09:15:30", "number:120.5", "text:\u03BCm",
                          "text:Fe", "none:", "none:", "text:Probe lifted or tilted"}));
    QCOMPARE(deck.at(1).toArray().at(2).toArray().at(2).toString(), QStringLiteral("0.0"));
    QCOMPARE(cells(deck.at(2).toArray()).mid(2, 4),
             QStringList({"none:", "text:\u03BCm", "text:Fe", "text:OL"}));
    // 70 is below 80 % of the NDFT of 100.
    QCOMPARE(cells(deck.at(3).toArray()).at(6), QStringLiteral("text:below the minimum"));
    const QJsonArray hullRows = book.value(QStringLiteral("Hull")).toArray();
    QCOMPARE(cells(hullRows.at(1).toArray()).at(2), QStringLiteral("number:5.0"));
    QCOMPARE(hullRows.at(1).toArray().at(2).toArray().at(2).toString(), QStringLiteral("0.00"));
    QCOMPARE(hullRows.at(0).toArray().size(), 7);
    const QJsonArray trail = book.value(QStringLiteral("Exclusion trail")).toArray();
    QCOMPARE(trail.size(), 2);
    QCOMPARE(cells(trail.at(1).toArray()),
             QStringList({"text:Deck [A]: \u7532\u677F", "number:1.0", "text:excluded",
                          "text:Probe lifted or tilted", "text:jdoe", "date:2026-12-08 09:20:00"}));

    QStringList summary;
    for (const QJsonValue &row : book.value(QStringLiteral("Summary")).toArray())
        summary << cells(row.toArray()).join(QLatin1Char('|'));
    QVERIFY(summary.contains(QStringLiteral("text:Item|text:Hull")));
    QVERIFY(summary.contains(QStringLiteral("text:Over range|text:1")));
    QVERIFY(summary.contains(QStringLiteral("text:Excluded|text:1")));
    QVERIFY2(summary.filter(QStringLiteral("FAIL")).size() == 1, qPrintable(summary.join('\n')));
}

void TestXlsxExporter::sheetNames_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("sheets");
    QTest::newRow("plain") << QStringList{"Measure1"} << QStringList{"Measure1"};
    QTest::newRow("characters a sheet name cannot hold")
        << QStringList{"a[b]:c*?/\\"} << QStringList{"a_b__c____"};
    QTest::newRow("quotes at the ends, nothing left")
        << QStringList{"'deck'", "''"} << QStringList{"deck", "Item"};
    QTest::newRow("31 characters at most, with the number kept")
        << QStringList{QString(40, 'x'), QString(40, 'x')}
        << QStringList{QString(31, 'x'), QString(27, 'x') + " (2)"};
    QTest::newRow("the same name without case, and the summary's")
        << QStringList{"Hull", "HULL", "summary"} << QStringList{"Hull", "HULL (2)", "summary (2)"};
}

void TestXlsxExporter::sheetNames()
{
    QFETCH(QStringList, items);
    QFETCH(QStringList, sheets);
    QStringList taken{QStringLiteral("Summary")};
    QStringList names;
    for (const QString &item : qAsConst(items))
        names << XlsxExporter::sheetName(item, 1, &taken);
    QCOMPARE(names, sheets);
}

void TestXlsxExporter::cancelledExportKeepsTheEarlierFile_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("workbook") << "xlsx";
    QTest::newRow("CSV") << "csv";
}

void TestXlsxExporter::cancelledExportKeepsTheEarlierFile()
{
    QFETCH(QString, suffix);
    // Both exports of Export data, the workbook and the CSV, write their file whole or not at all.
    const auto write = [&](const QString &fileName, const ItemData *item,
                           const CsvExporter::Progress &progress, QString *error) {
        QStringList notes;
        return suffix == QLatin1String("csv")
                   ? CsvExporter::writeFile(fileName, {item}, {}, progress, error)
                   : XlsxExporter::writeFile(fileName, {item}, progress, error, &notes);
    };
    ItemData coat(QStringLiteral("Coat"), ItemData::MeasureData);
    coat.setUnit(QStringLiteral("\u03BCm"));
    for (int i = 0; i < 10000; ++i)
        coat.appendReading(reading(100 + i % 40), false);
    const QString fileName = dir.filePath(QStringLiteral("kept.") + suffix);
    QFile earlier(fileName);
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier");
    earlier.close();
    QString error = QStringLiteral("not cleared");
    QVERIFY(!write(
        fileName, &coat, [](qint64, qint64) { return false; }, &error));
    QVERIFY(error.isEmpty());
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), QByteArray("earlier"));
    earlier.close();
    // Nothing of the attempt is left beside it.
    QCOMPARE(QDir(dir.path())
                 .entryList({"kept." + suffix + "*", ".rq6814-*"},
                            QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"kept." + suffix});

    // A folder that cannot be written says why.
    QVERIFY(!write(dir.filePath(QStringLiteral("none/x.") + suffix), &coat, {}, &error));
    QVERIFY(!error.isEmpty());
}

void TestXlsxExporter::largeItemGoesOnOverSheets()
{
    ItemData big(QStringLiteral("Measure1"), ItemData::MeasureData);
    big.setUnit(QStringLiteral("\u03BCm"));
    for (int i = 0; i < XlsxExporter::MaxDataRows + 2; ++i)
        big.appendReading(reading(100 + i % 40), false);
    const QString fileName = dir.filePath(QStringLiteral("big.xlsx"));
    QString error;
    QStringList notes;
    QVERIFY2(XlsxExporter::writeFile(fileName, {&big}, {}, &error, &notes), qPrintable(error));
    QCOMPARE(notes, QStringList{"Measure1 continues over 2 sheets."});
    QCOMPARE(openpyxl(fileName, true).toArray(),
             QJsonArray({QJsonArray{"Summary", 10}, QJsonArray{"Measure1", 1048576},
                         QJsonArray{"Measure1 (2)", 3}}));
}

QTEST_GUILESS_MAIN(TestXlsxExporter)
#include "tst_xlsxexporter.moc"
