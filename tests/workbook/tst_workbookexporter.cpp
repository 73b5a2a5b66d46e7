#include <memory>

#include <QAbstractTableModel>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

#include "datamodel.h"
#include "dmmdata.h"
#include "itemdata.h"
#include "pythontool.h"
#include "workbookexporter.h"
#include "workbookimporter.h"
#include "xlswriter.h"

namespace {

// A reading table of any length without the readings behind it.
class SyntheticTable : public QAbstractTableModel
{
public:
    explicit SyntheticTable(int rows)
        : m_rows(rows)
    {
    }
    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_rows;
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : 5;
    }
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override
    {
        if (role != Qt::DisplayRole)
            return QVariant();
        switch (index.column()) {
        case 0:
            return index.row() + 1;
        case 1:
            return QDateTime(QDate(2024, 3, 4), QTime(0, 0))
                .addSecs(index.row())
                .toString(XlsWriter::DateTimeFormat);
        case 2:
            return QString::number(index.row() % 1000 / 10.0, 'f', 1);
        case 3:
            return QStringLiteral("\u03BCm");
        default:
            return QStringLiteral("Fe");
        }
    }

private:
    int m_rows;
};

} // namespace

// The workbook export, read back with xlrd and with the import.
class TestWorkbookExporter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void layout();
    void headerOnly();
    void roundTrip_data();
    void roundTrip();
    void timeThatIsNoDate();
    void fullSheet();
    void tooManyRows();
    void unwritableTarget();
    void summarySheet();

private:
    void addReading(const QDateTime &time, const QString &umText, const QString &milText,
                    const QString &basis);
    QString fileName() const { return m_dir.filePath(QStringLiteral("readings.xls")); }

    QTemporaryDir m_dir;
    std::unique_ptr<ItemData> m_item;
    std::unique_ptr<DataModel> m_model;
};

void TestWorkbookExporter::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(pythonHasXlsModules(), RQ_SYSTEM_PYTHON " lacks xlrd (Debian package python3-xlrd)");
}

void TestWorkbookExporter::init()
{
    m_item = std::make_unique<ItemData>(QStringLiteral("Measure1"), ItemData::MeasureData);
    m_item->setUnit(QStringLiteral("\u03BCm"));
    m_model = std::make_unique<DataModel>();
    m_model->setItem(m_item.get());
    QFile::remove(fileName());
}

void TestWorkbookExporter::cleanup()
{
    m_model.reset();
    m_item.reset();
}

void TestWorkbookExporter::addReading(const QDateTime &time, const QString &umText,
                                      const QString &milText, const QString &basis)
{
    auto *reading = new DmmData;
    reading->setTime(time);
    reading->setUmText(umText);
    reading->setMilText(milText);
    reading->setUnit(QStringLiteral("\u03BCm"));
    reading->setBasis(basis);
    m_item->appendReading(reading, false);
    m_model->appendReadingRow(reading);
}

void TestWorkbookExporter::layout()
{
    const QDateTime start(QDate(2024, 3, 4), QTime(5, 6, 7));
    addReading(start, QStringLiteral("12.5"), QStringLiteral("0.49"), QStringLiteral("Fe"));
    addReading(start.addSecs(1), QStringLiteral("    OL"), QStringLiteral("    OL"),
               QStringLiteral("NFe"));
    addReading(start.addDays(40), QStringLiteral("1250"), QStringLiteral("49.21"),
               QStringLiteral("Fe"));
    QVERIFY(WorkbookExporter::exportTable(*m_model, fileName()));

    const QJsonObject dump = dumpWorkbook(fileName());
    QCOMPARE(dump.value(QStringLiteral("sheets")).toInt(), 1);
    const QJsonArray rows = dump.value(QStringLiteral("rows")).toArray();
    QCOMPARE(rows.size(), 4);
    const QStringList headers = {QStringLiteral("No."), QStringLiteral("Time"),
                                 QStringLiteral("Value"), QStringLiteral("Unit"),
                                 QStringLiteral("Basis")};
    QCOMPARE(rows.at(0).toArray().size(), 5);
    for (int c = 0; c < 5; ++c) {
        const QJsonObject cell = rows.at(0).toArray().at(c).toObject();
        QCOMPARE(cell.value(QStringLiteral("value")).toString(), headers.at(c));
        QCOMPARE(cell.value(QStringLiteral("format")).toString(), QStringLiteral("General"));
    }

    const QStringList times = {QStringLiteral("2024-03-04 05:06:07"),
                               QStringLiteral("2024-03-04 05:06:08"),
                               QStringLiteral("2024-04-13 05:06:07")};
    const QStringList values = {QStringLiteral("12.5"), QStringLiteral("    OL"),
                                QStringLiteral("1250")};
    const QStringList bases = {QStringLiteral("Fe"), QStringLiteral("NFe"), QStringLiteral("Fe")};
    for (int r = 1; r <= 3; ++r) {
        const QJsonArray row = rows.at(r).toArray();
        QCOMPARE(row.size(), 5);
        const QJsonObject number = row.at(0).toObject();
        QCOMPARE(number.value(QStringLiteral("kind")).toString(), QStringLiteral("number"));
        QCOMPARE(number.value(QStringLiteral("value")).toDouble(), double(r));
        const QJsonObject time = row.at(1).toObject();
        QCOMPARE(time.value(QStringLiteral("kind")).toString(), QStringLiteral("date"));
        QCOMPARE(time.value(QStringLiteral("format")).toString(),
                 QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        QCOMPARE(time.value(QStringLiteral("date")).toString(), times.at(r - 1));
        const QStringList texts = {values.at(r - 1), QStringLiteral("\u03BCm"), bases.at(r - 1)};
        for (int c = 2; c < 5; ++c) {
            const QJsonObject cell = row.at(c).toObject();
            QCOMPARE(cell.value(QStringLiteral("kind")).toString(), QStringLiteral("text"));
            QCOMPARE(cell.value(QStringLiteral("value")).toString(), texts.at(c - 2));
            QCOMPARE(cell.value(QStringLiteral("format")).toString(), QStringLiteral("@"));
        }
    }

    // Fitted: the time column is wider than Excel's default, the others fit their texts.
    const QJsonObject widths = dump.value(QStringLiteral("widths")).toObject();
    QVERIFY(widths.value(QStringLiteral("1")).toInt() > XlsWriter::DefaultColumnWidth * 256);
    QCOMPARE(widths.value(QStringLiteral("0")).toInt(), 4 * 256);
    QCOMPARE(widths.value(QStringLiteral("2")).toInt(), 7 * 256);
}

void TestWorkbookExporter::headerOnly()
{
    QVERIFY(WorkbookExporter::exportTable(*m_model, fileName()));
    const QJsonArray rows = dumpWorkbook(fileName()).value(QStringLiteral("rows")).toArray();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.at(0).toArray().size(), 5);
    QCOMPARE(rows.at(0).toArray().at(0).toObject().value(QStringLiteral("value")).toString(),
             QStringLiteral("No."));

    QList<QVariantList> read;
    QVERIFY(WorkbookImporter::readRows(fileName(), &read));
    QCOMPARE(read.size(), 1);
}

void TestWorkbookExporter::roundTrip_data()
{
    QTest::addColumn<QString>("unit");
    QTest::newRow("micrometre item") << QStringLiteral("\u03BCm");
    QTest::newRow("mil item") << QStringLiteral("mil");
}

void TestWorkbookExporter::roundTrip()
{
    QFETCH(QString, unit);
    m_item->setUnit(unit);
    const QDateTime start(QDate(2023, 12, 31), QTime(23, 59, 58));
    const QStringList umTexts = {QStringLiteral("12.5"), QStringLiteral("   -OL"),
                                 QStringLiteral("645"), QStringLiteral("0.0")};
    const QStringList milTexts = {QStringLiteral("0.49"), QStringLiteral("   -OL"),
                                  QStringLiteral("25.40"), QStringLiteral("0.00")};
    for (int i = 0; i < umTexts.size(); ++i)
        addReading(start.addSecs(i), umTexts.at(i), milTexts.at(i),
                   i % 2 ? QStringLiteral("NFe") : QStringLiteral("d\u00E9p\u00F4t"));
    QVERIFY(WorkbookExporter::exportTable(*m_model, fileName()));

    QList<QVariantList> rows;
    QVERIFY(WorkbookImporter::readRows(fileName(), &rows));
    QCOMPARE(rows.size(), umTexts.size() + 1);
    const bool micrometre = unit == QStringLiteral("\u03BCm");
    for (int i = 0; i < umTexts.size(); ++i) {
        const std::unique_ptr<DmmData> reading(WorkbookImporter::readingFromRow(rows.at(i + 1)));
        QVERIFY(reading);
        const DmmData *original = m_item->readings().at(i);
        QCOMPARE(reading->time(), original->time());
        QCOMPARE(micrometre ? reading->umText() : reading->milText(),
                 micrometre ? original->umText() : original->milText());
        QCOMPARE(reading->unit(), unit);
        QCOMPARE(reading->basis(), original->basis());
    }
}

void TestWorkbookExporter::timeThatIsNoDate()
{
    // A reading without a time shows an empty time; the row comes back without a reading.
    addReading(QDateTime(), QStringLiteral("1"), QStringLiteral("0.04"), QStringLiteral("Fe"));
    QStandardItemModel model(1, 5);
    model.setData(model.index(0, 0), 1);
    model.setData(model.index(0, 1), QStringLiteral("yesterday"));
    model.setData(model.index(0, 2), QStringLiteral("12.5"));
    QVERIFY(WorkbookExporter::exportTable(model, fileName()));
    QList<QVariantList> rows;
    QVERIFY(WorkbookImporter::readRows(fileName(), &rows));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(1).at(1), QVariant(QStringLiteral("yesterday")));
    QCOMPARE(WorkbookImporter::readingFromRow(rows.at(1)), nullptr);

    QVERIFY(WorkbookExporter::exportTable(*m_model, fileName()));
    QVERIFY(WorkbookImporter::readRows(fileName(), &rows));
    QCOMPARE(rows.size(), 2);
    QVERIFY(rows.at(1).at(1).isNull());
    QCOMPARE(WorkbookImporter::readingFromRow(rows.at(1)), nullptr);
}

void TestWorkbookExporter::fullSheet()
{
    const SyntheticTable table(WorkbookExporter::MaxDataRows);
    QVERIFY(WorkbookExporter::exportTable(table, fileName()));
    QList<QVariantList> rows;
    QVERIFY(WorkbookImporter::readRows(fileName(), &rows));
    QCOMPARE(rows.size(), XlsWriter::MaxRows);
    const QVariantList last = rows.last();
    QCOMPARE(last.at(0).toInt(), WorkbookExporter::MaxDataRows);
    QCOMPARE(last.at(1).toDateTime(),
             QDateTime(QDate(2024, 3, 4), QTime(0, 0)).addSecs(WorkbookExporter::MaxDataRows - 1));
    QCOMPARE(last.at(2), table.data(table.index(WorkbookExporter::MaxDataRows - 1, 2)));
}

void TestWorkbookExporter::tooManyRows()
{
    const SyntheticTable table(WorkbookExporter::MaxDataRows + 1);
    QVERIFY(!WorkbookExporter::exportTable(table, fileName()));
    QVERIFY(!QFile::exists(fileName()));

    // An existing file is left as it was.
    QVERIFY(WorkbookExporter::exportTable(*m_model, fileName()));
    QFile file(fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    QVERIFY(!WorkbookExporter::exportTable(table, fileName()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

void TestWorkbookExporter::unwritableTarget()
{
    addReading(QDateTime::currentDateTime(), QStringLiteral("1"), QStringLiteral("0.04"),
               QStringLiteral("Fe"));
    QVERIFY(!WorkbookExporter::exportTable(*m_model,
                                           m_dir.filePath(QStringLiteral("no such folder/a.xls"))));
    QVERIFY(!WorkbookExporter::exportTable(*m_model, m_dir.path()));
}

void TestWorkbookExporter::summarySheet()
{
    const QDateTime start(QDate(2024, 3, 4), QTime(5, 6, 7));
    addReading(start, QStringLiteral("12.5"), QStringLiteral("0.49"), QStringLiteral("Fe"));
    addReading(start.addSecs(1), QStringLiteral("    OL"), QStringLiteral("    OL"),
               QStringLiteral("NFe"));
    QVERIFY(WorkbookExporter::exportTable(*m_model, fileName()));
    QJsonObject plain = dumpWorkbook(fileName());
    QList<QVariantList> plainRows;
    QVERIFY(WorkbookImporter::readRows(fileName(), &plainRows));

    const QString verdict = QString::fromUtf8("FAIL: 1 reading below the minimum 100.0 μm");
    QVERIFY(WorkbookExporter::exportTable(*m_model, fileName(),
                                          {{"Item", "Measure1"}, {"Verdict", verdict}}));
    QJsonObject first = dumpWorkbook(fileName());
    QCOMPARE(first.take(QStringLiteral("sheets")).toInt(), 2);
    QCOMPARE(plain.take(QStringLiteral("sheets")).toInt(), 1);
    QCOMPARE(first, plain);
    QList<QVariantList> rows;
    QVERIFY(WorkbookImporter::readRows(fileName(), &rows));
    QCOMPARE(rows, plainRows);

    const QJsonObject summary = dumpWorkbook(fileName(), 1);
    QCOMPARE(summary.value(QStringLiteral("name")).toString(), QStringLiteral("Summary"));
    const QJsonArray cells = summary.value(QStringLiteral("rows")).toArray();
    QCOMPARE(cells.size(), 2);
    const auto text = [&](int r, int c) {
        return cells.at(r).toArray().at(c).toObject().value(QStringLiteral("value")).toString();
    };
    QCOMPARE(text(0, 0), QStringLiteral("Item"));
    QCOMPARE(text(0, 1), QStringLiteral("Measure1"));
    QCOMPARE(text(1, 0), QStringLiteral("Verdict"));
    QCOMPARE(text(1, 1), verdict);
}

QTEST_GUILESS_MAIN(TestWorkbookExporter)
#include "tst_workbookexporter.moc"
