#include <cmath>
#include <memory>

#include <QDateTime>
#include <QTest>

#include "dmmdata.h"
#include "workbookimporter.h"

// How a sheet row (No., Time, Value, Unit, Basis) becomes a reading.
class TestWorkbookImporter : public QObject
{
    Q_OBJECT

private slots:
    void readingFromRow_data();
    void readingFromRow();
    void rowsWithoutReading_data();
    void rowsWithoutReading();
    void blankRows_data();
    void blankRows();
    void notAWorkbook();
};

namespace {

const QDateTime readingTime(QDate(2024, 3, 4), QTime(5, 6, 7));
const QString timeText = QStringLiteral("2024-03-04 05:06:07");
const QString mu = QStringLiteral("\u03BCm");

QVariantList row(const QVariant &value, const QString &unit, const QVariant &time = timeText)
{
    return {1, time, value, unit, QStringLiteral("Fe")};
}

} // namespace

void TestWorkbookImporter::readingFromRow_data()
{
    QTest::addColumn<QVariantList>("row");
    QTest::addColumn<double>("umValue");
    QTest::addColumn<double>("milValue");
    QTest::addColumn<QString>("umText");
    QTest::addColumn<QString>("milText");

    const QString ol = QStringLiteral("    OL");
    const QString negativeOl = QStringLiteral("   -OL");
    QTest::newRow("overload as shown") << row(ol, mu) << 0.0 << 0.0 << ol << ol;
    QTest::newRow("overload bare")
        << row(QStringLiteral("OL"), QStringLiteral("mil")) << 0.0 << 0.0 << ol << ol;
    QTest::newRow("negative overload as shown")
        << row(negativeOl, QStringLiteral("mil")) << 0.0 << 0.0 << negativeOl << negativeOl;
    QTest::newRow("negative overload bare")
        << row(QStringLiteral("-OL"), mu) << 0.0 << 0.0 << negativeOl << negativeOl;
    QTest::newRow("lower-case ol is a number")
        << row(QStringLiteral("ol"), QStringLiteral("mil")) << 0.0 << 0.0 << QStringLiteral("0")
        << QStringLiteral("ol");

    QTest::newRow("mil") << row(QStringLiteral("25.4"), QStringLiteral("mil")) << 645.16 << 25.4
                         << QStringLiteral("645") << QStringLiteral("25.4");
    QTest::newRow("mil keeps its text")
        << row(QStringLiteral("2.00"), QStringLiteral("mil")) << 50.8 << 2.0 << QStringLiteral("51")
        << QStringLiteral("2.00");
    QTest::newRow("micrometre") << row(QStringLiteral("100"), mu) << 100.0 << 100.0 / 25.4
                                << QStringLiteral("100") << QStringLiteral("3.94");
    QTest::newRow("micrometre keeps its text")
        << row(QStringLiteral("12.5"), mu) << 12.5 << 12.5 / 25.4 << QStringLiteral("12.5")
        << QStringLiteral("0.49");
    QTest::newRow("capital mu") << row(QStringLiteral("100"), QStringLiteral("\u039CM")) << 100.0
                                << 100.0 / 25.4 << QStringLiteral("100") << QStringLiteral("3.94");
    QTest::newRow("micro sign is not mu")
        << row(QStringLiteral("100"), QStringLiteral("\u00B5m")) << 2540.0 << 100.0
        << QStringLiteral("2540") << QStringLiteral("100");
    QTest::newRow("empty unit is mil") << row(QStringLiteral("1"), QString()) << 25.4 << 1.0
                                       << QStringLiteral("25") << QStringLiteral("1");
    QTest::newRow("number cell") << row(12.5, mu) << 12.5 << 12.5 / 25.4 << QStringLiteral("12.5")
                                 << QStringLiteral("0.49");
    QTest::newRow("not a number") << row(QStringLiteral("abc"), QStringLiteral("mil")) << 0.0 << 0.0
                                  << QStringLiteral("0") << QStringLiteral("abc");
    QTest::newRow("date-time cell")
        << row(QStringLiteral("12.5"), mu, readingTime) << 12.5 << 12.5 / 25.4
        << QStringLiteral("12.5") << QStringLiteral("0.49");
    QVariantList longer = row(QStringLiteral("3"), QStringLiteral("mil"));
    longer << QStringLiteral("note");
    QTest::newRow("more than five cells")
        << longer << 76.2 << 3.0 << QStringLiteral("76") << QStringLiteral("3");
}

void TestWorkbookImporter::readingFromRow()
{
    QFETCH(QVariantList, row);
    QFETCH(double, umValue);
    QFETCH(double, milValue);
    QFETCH(QString, umText);
    QFETCH(QString, milText);

    const std::unique_ptr<DmmData> reading(WorkbookImporter::readingFromRow(row));
    QVERIFY(reading);
    QCOMPARE(reading->time(), readingTime);
    QCOMPARE(reading->umValue(), umValue);
    QCOMPARE(reading->milValue(), milValue);
    QCOMPARE(reading->umText(), umText);
    QCOMPARE(reading->milText(), milText);
    // Unit and basis are kept as written, whatever the value became.
    QCOMPARE(reading->unit(), row.at(3).toString());
    QCOMPARE(reading->basis(), QStringLiteral("Fe"));
    QVERIFY(!reading->parent());
}

void TestWorkbookImporter::rowsWithoutReading_data()
{
    QTest::addColumn<QVariantList>("row");
    QTest::newRow("no cells") << QVariantList();
    QTest::newRow("four cells") << QVariantList{1, timeText, QStringLiteral("12.5"), mu};
    QTest::newRow("empty time") << row(QStringLiteral("12.5"), mu, QVariant());
    QTest::newRow("time not a date") << row(QStringLiteral("12.5"), mu, QStringLiteral("noon"));
    QTest::newRow("month 13") << row(QStringLiteral("12.5"), mu,
                                     QStringLiteral("2024-13-04 05:06:07"));
    QTest::newRow("plain number as time") << row(QStringLiteral("12.5"), mu, 45355.2);
    // What the reader gives for a date cell whose serial is NaN, infinite or out of range.
    QTest::newRow("invalid date-time") << row(QStringLiteral("12.5"), mu, QDateTime());
    QTest::newRow("value nan") << row(QStringLiteral("nan"), mu);
    QTest::newRow("value inf") << row(QStringLiteral("-inf"), QStringLiteral("mil"));
    QTest::newRow("value NaN number") << row(std::nan(""), mu);
}

void TestWorkbookImporter::rowsWithoutReading()
{
    QFETCH(QVariantList, row);
    QCOMPARE(WorkbookImporter::readingFromRow(row), nullptr);
}

void TestWorkbookImporter::blankRows_data()
{
    QTest::addColumn<QVariantList>("row");
    QTest::addColumn<bool>("blank");
    QTest::newRow("no cells") << QVariantList() << true;
    QTest::newRow("empty cells") << QVariantList{QVariant(), QVariant(), QVariant()} << true;
    QTest::newRow("empty texts") << QVariantList{QString(), QStringLiteral("")} << true;
    QTest::newRow("a blank") << QVariantList{QVariant(), QStringLiteral(" ")} << false;
    QTest::newRow("a zero") << QVariantList{QVariant(), 0} << false;
    QTest::newRow("a reading") << row(QStringLiteral("12.5"), mu) << false;
}

void TestWorkbookImporter::blankRows()
{
    QFETCH(QVariantList, row);
    QFETCH(bool, blank);
    QCOMPARE(WorkbookImporter::isBlankRow(row), blank);
}

void TestWorkbookImporter::notAWorkbook()
{
    QList<QVariantList> rows{row(QStringLiteral("1"), mu)};
    QVERIFY(!WorkbookImporter::readRows(QStringLiteral(RQ_TEST_SOURCE_DIR "/xlsmake.py"), &rows));
    QCOMPARE(rows.size(), 1);
}

QTEST_GUILESS_MAIN(TestWorkbookImporter)
#include "tst_workbookimporter.moc"
