#include <cmath>

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "csvexporter.h"
#include "dataimporter.h"
#include "dmmdata.h"
#include "itemdata.h"
#include "xlsxexporter.h"

namespace {
const QString Corpus = QStringLiteral(RQ_TEST_SOURCE_DIR "/corpus/");
const QString Micrometre = QStringLiteral("\u03BCm");

DmmData *reading(int second, double um, int overload = 0, const QString &basis = "Fe")
{
    auto *r = new DmmData;
    r->setTime(QDateTime(QDate(2026, 3, 29), QTime(1, 30, second)));
    r->setUmValue(um);
    r->setMilValue(um / 25.4);
    r->setOverload(overload);
    r->setUnit(Micrometre);
    r->setBasis(basis);
    return r;
}

// A gauge's worth of bytes: a header, then one line that never ends.
class EndlessLine : public QIODevice
{
public:
    EndlessLine() { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 served = 0;

protected:
    qint64 readData(char *data, qint64 size) override
    {
        const QByteArray header = "No.,Time,Value,Unit,Basis\r\n1,";
        for (qint64 i = 0; i < size; ++i, ++served)
            data[i] = served < header.size() ? header.at(int(served)) : 'x';
        return size;
    }
    qint64 writeData(const char *, qint64) override { return -1; }
};
} // namespace

class TestDataImporter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void roundTrip_data();
    void roundTrip();
    void rejected_data();
    void rejected();
    void aLineOfAGigabyteIsNotReadWhole();
    void fuzzRegressionsAreReadOrRefused();
    void spreadsheetsSavedAgain_data();
    void spreadsheetsSavedAgain();
    void uniqueNames_data();
    void uniqueNames();

private:
    QTemporaryDir dir;
    ItemData *coat = nullptr;
    ItemData *hull = nullptr;
};

void TestDataImporter::init()
{
    // A name with a separator, a quote and a script other than Latin.
    coat = new ItemData(QStringLiteral("Deck; \"A\", \u7532\u677F"), ItemData::MeasureData);
    coat->setUnit(Micrometre);
    for (DmmData *r :
         {reading(15, 120.5), reading(16, 0, 1), reading(17, 98.25, 0, "NFe"), reading(18, 0, -1)})
        coat->appendReading(r, false);
    hull = new ItemData(QStringLiteral("Hull \u00C6"), ItemData::MeasureData);
    hull->setUnit(QStringLiteral("mil"));
    hull->appendReading(reading(20, 127), false);
}

void TestDataImporter::cleanup()
{
    delete coat;
    delete hull;
}

void TestDataImporter::roundTrip_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<bool>("byteOrderMark");
    QTest::addColumn<bool>("itemColumn");
    // Readings added to the second item: a sheet far larger than the reader's chunks of it.
    QTest::addColumn<int>("more");
    QTest::newRow("xlsx, two items") << "xlsx"
                                     << "" << false << false << 0;
    QTest::newRow("xlsx, a long sheet") << "xlsx"
                                        << "" << false << false << 5000;
    QTest::newRow("csv, decimal point") << "csv"
                                        << "," << false << false << 0;
    QTest::newRow("csv, decimal comma and ';'") << "csv"
                                                << ";" << false << false << 0;
    QTest::newRow("csv, byte-order mark") << "csv"
                                          << "," << true << false << 0;
    QTest::newRow("csv, two items with an Item column") << "csv"
                                                        << "," << false << true << 0;
    QTest::newRow("csv, two items, ';' and a mark") << "csv"
                                                    << ";" << true << true << 5000;
}

// What the exporters write comes back as the items it came from.
void TestDataImporter::roundTrip()
{
    QFETCH(QString, format);
    QFETCH(QString, separator);
    QFETCH(bool, byteOrderMark);
    QFETCH(bool, itemColumn);
    QFETCH(int, more);
    for (int i = 0; i < more; ++i)
        hull->appendReading(reading(i % 60, 100 + i % 97 + i % 10 * 0.1, i % 500 == 0), false);
    const bool xlsx = format == QLatin1String("xlsx");
    QList<const ItemData *> items{coat};
    if (xlsx || itemColumn)
        items << hull;
    const QString fileName = dir.filePath(QStringLiteral("round.") + format);
    QString error;
    if (xlsx) {
        QStringList notes;
        QVERIFY2(XlsxExporter::writeFile(fileName, items, {}, &error, &notes), qPrintable(error));
    } else {
        CsvExporter::Options options;
        options.separator = separator.at(0);
        options.decimal = separator == QLatin1String(";") ? QLatin1Char(',') : QLatin1Char('.');
        options.byteOrderMark = byteOrderMark;
        options.itemColumn = itemColumn;
        QVERIFY2(CsvExporter::writeFile(fileName, items, options, {}, &error), qPrintable(error));
    }

    DataImporter importer;
    QList<qint64> progress;
    QVERIFY2(importer.read(fileName,
                           [&progress](qint64 read, qint64) {
                               progress << read;
                               return true;
                           }),
             qPrintable(importer.errorString()));
    QVERIFY(!progress.isEmpty());
    QCOMPARE(importer.items().size(), items.size());
    for (int i = 0; i < items.size(); ++i) {
        const ItemData *original = items.at(i);
        const DataImporter::Item &item = importer.items().at(i);
        // Sheet names cannot hold every character; a file without an Item column is named so.
        const QString name =
            xlsx         ? (i == 0 ? QStringLiteral("Deck; \"A\", \u7532\u677F") : original->name())
            : itemColumn ? original->name()
                         : QStringLiteral("round");
        QCOMPARE(item.name, name);
        QCOMPARE(item.unit, original->unit());
        QCOMPARE(item.readings.size(), original->readings().size());
        for (int r = 0; r < item.readings.size(); ++r) {
            const DmmData *back = item.readings.at(r);
            const DmmData *was = original->readings().at(r);
            QCOMPARE(back->time(), was->time());
            QCOMPARE(back->overload(), was->overload());
            QCOMPARE(back->basis(), was->basis());
            QCOMPARE(back->unit(), original->unit());
            const double value = ItemData::valueOf(back, original->isMicrometre());
            QVERIFY(value == original->valueOf(was) ||
                    std::abs(value - original->valueOf(was)) < 1e-9);
        }
    }
    QCOMPARE(importer.items().first().readings.at(1)->umText(), QStringLiteral("    OL"));
    QCOMPARE(importer.items().first().readings.at(3)->milText(), QStringLiteral("   -OL"));
    QCOMPARE(importer.items().first().readings.at(0)->umText(), QStringLiteral("120.5"));
    QCOMPARE(importer.items().first().readings.at(0)->milText(), QStringLiteral("4.74"));
}

void TestDataImporter::rejected_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    const QByteArray header = "No.,Time,Value,Unit,Basis,Over range\r\n";
    const QByteArray good = "1,2026-12-08T09:15:30+01:00,120.5,\xCE\xBCm,Fe,\r\n";
    QTest::newRow("csv: quote not closed")
        << "a.csv" << header + good + "2,2026-12-08T09:15:31+01:00,\"12,\xCE\xBCm,Fe,\r\n"
        << "line 3: a quoted field has no closing quote";
    QTest::newRow("csv: a quote inside a field")
        << "a.csv" << header + "1,2026-12-08 09:15:30,12\"5,mil,Fe,\r\n"
        << "line 2: a quote inside a field that does not begin with one";
    QTest::newRow("csv: separators mixed")
        << "a.csv" << header + good + "2;2026-12-08T09:15:31+01:00;120,5;mil;Fe;\r\n"
        << "line 3: 2 fields where the header has 6; are ',' and ';' mixed?";
    QTest::newRow("csv: Latin-1, not UTF-8")
        << "a.csv" << header + "1,2026-12-08 09:15:30,12.5,mil,St\xE4hl,\r\n"
        << "line 2 is not UTF-8 text";
    QTest::newRow("csv: UTF-16") << "a.csv" << QByteArray("\xFF\xFEN\0o\0.\0", 8)
                                 << "line 1 is not UTF-8 text";
    QTest::newRow("csv: no header") << "a.csv" << good << "no header with the columns";
    QTest::newRow("csv: a header alone") << "a.csv" << header + "\r\n,,,,,\r\n"
                                         << "it holds no readings";
    QTest::newRow("csv: empty") << "a.csv" << QByteArray() << "the file is empty";
    QTest::newRow("csv: time unreadable")
        << "a.csv" << header + "1,08/12/2026 09:15,12.5,mil,Fe,\r\n"
        << "line 2: the time \"08/12/2026 09:15\" cannot be read";
    QTest::newRow("csv: value no number")
        << "a.csv" << header + "1,2026-12-08 09:15:30,12.5.1,mil,Fe,\r\n"
        << "line 2: the value \"12.5.1\" is not a number";
    QTest::newRow("csv: no value, not over range")
        << "a.csv" << header + "1,2026-12-08 09:15:30,,mil,Fe,\r\n"
        << "line 2: there is no value";
    QTest::newRow("csv: odd over-range mark")
        << "a.csv" << header + "1,2026-12-08 09:15:30,,mil,Fe,OVER\r\n"
        << "line 2: the over-range mark is neither OL nor -OL";
    QTest::newRow("another suffix") << "a.txt" << header + good << "only .xlsx and .csv";
    QTest::newRow("xlsx: no zip") << "a.xlsx" << header + good << "not an Excel workbook";
    QTest::newRow("xlsx: empty") << "a.xlsx" << QByteArray() << "not an Excel workbook";
    for (const QString &sample :
         QDir(Corpus + QStringLiteral("xlsx/samples")).entryList(QDir::Files)) {
        QFile file(Corpus + QStringLiteral("xlsx/samples/") + sample);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // The sample's name says what it must be refused for: "...--message.xlsx".
        const QString message = QFileInfo(sample)
                                    .completeBaseName()
                                    .section(QStringLiteral("--"), 1)
                                    .replace(QLatin1Char('_'), QLatin1Char(' '));
        QTest::newRow(qPrintable(QStringLiteral("xlsx: ") + sample))
            << "a.xlsx" << file.readAll() << message;
    }
}

// A file that is not sound adds nothing and says why.
void TestDataImporter::rejected()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QFile file(dir.filePath(fileName));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    DataImporter importer;
    QVERIFY(!importer.read(file.fileName()));
    QVERIFY(importer.items().isEmpty());
    QVERIFY2(importer.errorString().contains(message), qPrintable(importer.errorString()));
}

void TestDataImporter::aLineOfAGigabyteIsNotReadWhole()
{
    EndlessLine device;
    DataImporter importer;
    QVERIFY(!importer.readCsv(&device, QStringLiteral("endless")));
    QCOMPARE(importer.errorString(), QStringLiteral("line 2 is longer than 64 KB"));
    QVERIFY(device.served < 1 << 20);
}

void TestDataImporter::fuzzRegressionsAreReadOrRefused()
{
    for (const QString &kind : {QStringLiteral("xlsx"), QStringLiteral("csv")}) {
        const QDir regressions(Corpus + kind + QStringLiteral("/regressions"));
        for (const QString &input : regressions.entryList(QDir::Files)) {
            // The importer goes by the suffix, which the fuzzer's names lack.
            const QString fileName = dir.filePath(input + QLatin1Char('.') + kind);
            QVERIFY(QFile::copy(regressions.filePath(input), fileName));
            DataImporter importer;
            const bool read = importer.read(fileName);
            QVERIFY2(read ? !importer.items().isEmpty() : !importer.errorString().isEmpty(),
                     qPrintable(input));
        }
    }
}

void TestDataImporter::spreadsheetsSavedAgain_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("readings");
    for (const QString &kind : QStringList{"xlsx", "csv"}) {
        for (const QString &writer : QStringList{"libreoffice", "hand"}) {
            const QDir seeds(Corpus + kind + QStringLiteral("/seeds/") + writer);
            for (const QString &file : seeds.entryList(QDir::Files)) {
                // "<readings>-<item>+<item>...-<how>", as make_libreoffice_seeds.sh says.
                const QStringList parts =
                    QFileInfo(file).completeBaseName().split(QLatin1Char('-'));
                if (parts.size() < 3)
                    continue;
                // "file": one item, named after the file.
                const QStringList names = parts.at(1) == QLatin1String("file")
                                              ? QStringList{QFileInfo(file).completeBaseName()}
                                              : parts.at(1).split(QLatin1Char('+'));
                QTest::newRow(qPrintable(writer + QLatin1Char('/') + file))
                    << seeds.filePath(file) << names << parts.at(0).toInt();
            }
        }
    }
}

// Files as spreadsheets write them back after an edit give the readings they hold.
void TestDataImporter::spreadsheetsSavedAgain()
{
    QFETCH(QString, fileName);
    QFETCH(QStringList, names);
    QFETCH(int, readings);
    DataImporter importer;
    QVERIFY2(importer.read(fileName), qPrintable(importer.errorString()));
    QStringList read;
    int count = 0;
    for (const DataImporter::Item &item : importer.items()) {
        read << item.name;
        count += item.readings.size();
        for (const DmmData *r : item.readings) {
            QVERIFY(r->time().isValid());
            QVERIFY(r->overload() != 0 || r->umValue() > 0);
        }
    }
    QCOMPARE(read, names);
    QCOMPARE(count, readings);
}

void TestDataImporter::uniqueNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("unique");
    QTest::newRow("free") << "Deck" << QStringList{"Hull"} << "Deck";
    QTest::newRow("taken") << "Deck" << QStringList{"Deck", "Deck (3)"} << "Deck (2)";
    QTest::newRow("taken twice") << "Deck" << QStringList{"Deck", "Deck (2)"} << "Deck (3)";
    QTest::newRow("case counts, as in the tree") << "deck" << QStringList{"Deck"} << "deck";
}

void TestDataImporter::uniqueNames()
{
    QFETCH(QString, name);
    QFETCH(QStringList, taken);
    QFETCH(QString, unique);
    QCOMPARE(DataImporter::uniqueName(name, taken), unique);
}

QTEST_GUILESS_MAIN(TestDataImporter)
#include "tst_dataimporter.moc"
