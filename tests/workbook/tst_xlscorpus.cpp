#include <memory>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QTest>

#include "dmmdata.h"
#include "pythontool.h"
#include "workbookimporter.h"
#include "xlsreader.h"

// The reader against the workbook corpus in corpus/: the seeds (the logger's exports, xlwt's and
// LibreOffice's workbooks) and the damaged samples give the same cells as xlrd, a reader that
// shares no code with ours; the inputs that once found a fault by fuzzing are replayed.
class TestXlsCorpus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sameCellsAsXlrd_data();
    void sameCellsAsXlrd();
    void replay_data();
    void replay();
    void samples_data();
    void samples();
};

namespace {

const QString corpusDir = QStringLiteral(RQ_TEST_SOURCE_DIR "/corpus");
const QString timeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

void addFiles(const QString &folder)
{
    QDirIterator it(corpusDir + QLatin1Char('/') + folder, {QStringLiteral("*")}, QDir::Files,
                    QDirIterator::Subdirectories);
    QStringList files;
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    for (const QString &file : files)
        QTest::newRow(qPrintable(QDir(corpusDir).relativeFilePath(file))) << file;
}

// Why our cell differs from xlrd's; empty when they agree.
QString difference(const QJsonObject &theirs, const QVariant &ours, bool date1904)
{
    const QString kind = theirs.value(QStringLiteral("kind")).toString();
    const QJsonValue value = theirs.value(QStringLiteral("value"));
    const int type = ours.userType();
    bool same = false;
    if (kind == QLatin1String("text")) {
        same = (type == QMetaType::QString || ours.isNull()) && ours.toString() == value.toString();
    } else if (kind == QLatin1String("number")) {
        same = (type == QMetaType::Int || type == QMetaType::Double) &&
               ours.toDouble() == value.toDouble();
    } else if (kind == QLatin1String("boolean")) {
        same = type == QMetaType::Bool && ours.toBool() == value.toBool();
    } else if (kind == QLatin1String("error")) {
        same = type == QMetaType::QString && ours.toString() == value.toString();
    } else if (kind == QLatin1String("date")) {
        const QDateTime time = ours.toDateTime();
        const QString date = theirs.value(QStringLiteral("date")).toString();
        if (type != QMetaType::QDateTime || !time.isValid()) {
            same = false;
        } else if (date.isEmpty()) {
            // xlrd gives no date before 1900-03-01, where Excel counts a day that never was.
            same = time.date() < QDate(1900, 3, 1);
        } else if (date.startsWith(QLatin1String("0000-00-00"))) {
            // A time alone lies on the date system's day zero.
            same = time.date() == (date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30)) &&
                   time.time().toString(QStringLiteral("hh:mm:ss")) == date.mid(11);
        } else {
            same = time.toString(timeFormat) == date;
        }
    }
    if (same)
        return QString();
    return QStringLiteral("xlrd: %1 %2 %3, ours: %4 %5")
        .arg(kind, value.toVariant().toString(), theirs.value(QStringLiteral("date")).toString(),
             QString::fromLatin1(ours.typeName()), ours.toString());
}

} // namespace

void TestXlsCorpus::initTestCase()
{
    QVERIFY2(pythonHasXlsModules(), RQ_SYSTEM_PYTHON " lacks xlrd (Debian package python3-xlrd)");
    QVERIFY(QDir(corpusDir + QStringLiteral("/seeds")).exists());
}

void TestXlsCorpus::sameCellsAsXlrd_data()
{
    QTest::addColumn<QString>("fileName");
    addFiles(QStringLiteral("seeds"));
    addFiles(QStringLiteral("samples"));
}

void TestXlsCorpus::sameCellsAsXlrd()
{
    QFETCH(QString, fileName);
    const QJsonObject dump = dumpWorkbook(fileName);
    XlsReader reader;
    const bool read = reader.open(fileName);
    if (dump.isEmpty()) {
        // xlrd refuses it: ours has to survive it, whatever it makes of it.
        QVERIFY(!read || reader.rows().size() == reader.rowCount());
        return;
    }
    QVERIFY2(read, "xlrd reads the file, ours refuses it");

    const QList<QVariantList> rows = reader.rows();
    const bool date1904 = dump.value(QStringLiteral("datemode")).toInt() == 1;
    QCOMPARE(reader.date1904(), date1904);
    int theirCells = 0;
    const QJsonArray theirRows = dump.value(QStringLiteral("rows")).toArray();
    for (int r = 0; r < theirRows.size(); ++r) {
        const QJsonArray cells = theirRows.at(r).toArray();
        for (int c = 0; c < cells.size(); ++c) {
            const QJsonObject cell = cells.at(c).toObject();
            const QString kind = cell.value(QStringLiteral("kind")).toString();
            if (kind == QLatin1String("empty") ||
                (kind == QLatin1String("text") &&
                 cell.value(QStringLiteral("value")).toString().isEmpty()))
                continue;
            ++theirCells;
            const int row = r - reader.firstRow();
            const int column = c - reader.firstColumn();
            const QString where = QStringLiteral("row %1, column %2: ").arg(r).arg(c);
            QVERIFY2(row >= 0 && row < rows.size() && column >= 0 && column < rows.at(row).size(),
                     qPrintable(where + QStringLiteral("outside our used range")));
            const QString why = difference(cell, rows.at(row).at(column), date1904);
            QVERIFY2(why.isEmpty(), qPrintable(where + why));
        }
    }
    int ourCells = 0;
    for (const QVariantList &row : rows) {
        for (const QVariant &cell : row)
            ourCells += cell.isNull() || cell.toString().isEmpty() ? 0 : 1;
    }
    QCOMPARE(ourCells, theirCells);
}

void TestXlsCorpus::replay_data()
{
    QTest::addColumn<QString>("fileName");
    addFiles(QStringLiteral("regressions"));
    addFiles(QStringLiteral("samples"));
}

void TestXlsCorpus::replay()
{
    // The import's own way through the file; the sanitizers watch every step.
    QFETCH(QString, fileName);
    QList<QVariantList> rows;
    if (!WorkbookImporter::readRows(fileName, &rows)) {
        QVERIFY(rows.isEmpty());
        return;
    }
    for (int r = 1; r < rows.size(); ++r) {
        const std::unique_ptr<DmmData> reading(WorkbookImporter::readingFromRow(rows.at(r)));
        if (reading)
            QVERIFY(reading->time().isValid());
    }
    XlsReader reader;
    QVERIFY(reader.open(fileName));
    QCOMPARE(reader.rows().size(), reader.rowCount());
}

void TestXlsCorpus::samples_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("readable");
    // The readings that the import takes, up to the first row it can't take.
    QTest::addColumn<int>("readings");
    QTest::addColumn<QString>("firstTime");
    QTest::addColumn<QString>("lastTime");

    QTest::newRow("valid") << "valid-20-readings.xls" << true << 20 << ""
                           << "";
    QTest::newRow("declares 65536 x 256")
        << "dimensions-65536x256-holding-20-rows.xls" << true << 20 << ""
        << "";
    QTest::newRow("after 2100-02-28") << "time-2100-03-01.xls" << true << 1 << "2100-03-01 00:00:00"
                                      << "";
    QTest::newRow("shared string too long")
        << "shared-string-length-too-long.xls" << false << 0 << ""
        << "";
    QTest::newRow("number retyped as dimensions")
        << "number-record-retyped-as-dimensions.xls" << true << 13 << ""
        << "";
    QTest::newRow("time formatted date-only")
        << "time-column-with-date-only-format.xls" << true << 3 << "2026-03-14 09:26:53"
        << "2026-03-14 09:28:55";
}

void TestXlsCorpus::samples()
{
    QFETCH(QString, name);
    QFETCH(bool, readable);
    QFETCH(int, readings);
    QFETCH(QString, firstTime);
    QFETCH(QString, lastTime);

    QList<QVariantList> rows;
    QCOMPARE(WorkbookImporter::readRows(corpusDir + QStringLiteral("/samples/") + name, &rows),
             readable);
    QList<QDateTime> times;
    for (int r = 1; r < rows.size(); ++r) {
        const std::unique_ptr<DmmData> reading(WorkbookImporter::readingFromRow(rows.at(r)));
        if (!reading)
            break;
        times.append(reading->time());
    }
    QCOMPARE(times.size(), readings);
    if (!firstTime.isEmpty())
        QCOMPARE(times.constFirst().toString(timeFormat), firstTime);
    if (!lastTime.isEmpty())
        QCOMPARE(times.constLast().toString(timeFormat), lastTime);
}

QTEST_GUILESS_MAIN(TestXlsCorpus)
#include "tst_xlscorpus.moc"
