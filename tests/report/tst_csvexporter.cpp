#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "csvexporter.h"
#include "dmmdata.h"
#include "itemdata.h"

namespace {
DmmData *reading(double um, int overload = 0, const QString &basis = QStringLiteral("Fe"))
{
    auto *r = new DmmData;
    r->setTime(QDateTime(QDate(2026, 3, 29), QTime(1, 30, 15), Qt::OffsetFromUTC, 3600));
    r->setUmValue(um);
    r->setMilValue(um / 25.4);
    r->setUmText(QString::number(um));
    r->setMilText(QString::number(um / 25.4, 'f', 2));
    r->setOverload(overload);
    r->setUnit(QStringLiteral("\u03BCm"));
    r->setBasis(basis);
    return r;
}

// The rows as Python's csv module reads the file: an independent reader of the format.
QList<QStringList> pythonRows(const QString &fileName, QChar separator)
{
    QProcess python;
    python.start(QStringLiteral(RQ_SYSTEM_PYTHON),
                 {QStringLiteral(RQ_TEST_SOURCE_DIR "/csvread.py"), fileName, separator});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning().noquote() << python.readAllStandardError();
        return {};
    }
    QList<QStringList> rows;
    for (const QJsonValue &row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList cells;
        for (const QJsonValue &cell : row.toArray())
            cells << cell.toString();
        rows << cells;
    }
    return rows;
}
} // namespace

class TestCsvExporter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pythonReadsWhatIsWritten_data();
    void pythonReadsWhatIsWritten();
    void fileNames_data();
    void fileNames();

private:
    QTemporaryDir dir;
    ItemData *coat = nullptr;
    ItemData *mils = nullptr;
};

void TestCsvExporter::init()
{
    // A name with the separator, a quote and a script other than Latin.
    coat = new ItemData(QStringLiteral("Deck, \"A\" \u7532\u677F"), ItemData::MeasureData);
    coat->setUnit(QStringLiteral("\u03BCm"));
    for (DmmData *r : {reading(120.5), reading(0, 1), reading(98, 0, QStringLiteral("NFe"))})
        coat->appendReading(r, false);
    // The reason goes into the file whole, separator and quote included.
    coat->setExcluded({2}, QStringLiteral("on a weld; \"edge\""));
    mils = new ItemData(QStringLiteral("Hull"), ItemData::ImportData);
    mils->setUnit(QStringLiteral("mil"));
    mils->appendReading(reading(127), false);
    mils->appendReading(reading(0, -1), false);
}

void TestCsvExporter::cleanup()
{
    delete coat;
    delete mils;
}

void TestCsvExporter::pythonReadsWhatIsWritten_data()
{
    QTest::addColumn<bool>("comma");
    QTest::addColumn<bool>("oneFile");
    QTest::newRow("decimal point, one item") << false << false;
    QTest::newRow("decimal comma, one item") << true << false;
    QTest::newRow("two items in one file") << false << true;
}

void TestCsvExporter::pythonReadsWhatIsWritten()
{
    QFETCH(bool, comma);
    QFETCH(bool, oneFile);
    CsvExporter::Options options;
    if (comma) {
        options.decimal = QLatin1Char(',');
        options.separator = QLatin1Char(';');
    }
    options.byteOrderMark = true;
    options.itemColumn = oneFile;
    const QString fileName = dir.filePath(QStringLiteral("out.csv"));
    QList<const ItemData *> items{coat};
    if (oneFile)
        items << mils;
    QString error;
    QList<qint64> progress;
    QVERIFY(CsvExporter::writeFile(
        fileName, items, options,
        [&](qint64 written, qint64 total) { return progress << written << total, true; }, &error));
    QCOMPARE(progress.mid(progress.size() - 2),
             QList<qint64>({items.size() == 1 ? 3 : 5, items.size() == 1 ? 3 : 5}));

    QList<QStringList> expected{
        {"No.", "Time", "Value", "Unit", "Basis", "Over range", "Excluded"},
        {"1", "2026-03-29T01:30:15+01:00", comma ? "120,5" : "120.5", "\u03BCm", "Fe", "", ""},
        {"2", "2026-03-29T01:30:15+01:00", "", "\u03BCm", "Fe", "OL", ""},
        {"3", "2026-03-29T01:30:15+01:00", "98", "\u03BCm", "NFe", "", "on a weld; \"edge\""}};
    if (oneFile) {
        expected << QStringList{"1", "2026-03-29T01:30:15+01:00", "5", "mil", "Fe", "", ""}
                 << QStringList{"2", "2026-03-29T01:30:15+01:00", "", "mil", "Fe", "-OL", ""};
        expected[0].prepend(QStringLiteral("Item"));
        for (int row = 1; row < expected.size(); ++row)
            expected[row].prepend(row <= 3 ? coat->name() : mils->name());
    }
    QCOMPARE(pythonRows(fileName, options.separator), expected);
}

void TestCsvExporter::fileNames_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("plain") << QStringList{"Measure1"} << QStringList{"Measure1.csv"};
    QTest::newRow("characters no system takes")
        << QStringList{"a/b:c*?\"<>|\\"} << QStringList{"a_b_c_______.csv"};
    QTest::newRow("trailing dots and a device name")
        << QStringList{"deck. ", "con"} << QStringList{"deck.csv", "_con.csv"};
    QTest::newRow("the same name twice, ignoring case")
        << QStringList{"Hull", "HULL", "hull"}
        << QStringList{"Hull.csv", "HULL (2).csv", "hull (3).csv"};
    QTest::newRow("nothing left") << QStringList{"..."} << QStringList{"_.csv"};
}

void TestCsvExporter::fileNames()
{
    QFETCH(QStringList, items);
    QFETCH(QStringList, files);
    QStringList taken;
    QStringList names;
    for (const QString &item : qAsConst(items))
        names << CsvExporter::fileNameFor(item, &taken);
    QCOMPARE(names, files);
}

QTEST_GUILESS_MAIN(TestCsvExporter)
#include "tst_csvexporter.moc"
