#include <cmath>
#include <ctime>
#include <limits>

#include <QDateTime>
#include <QTest>

#include "xlsdate.h"
#include "xlswriter.h"

// Workbook dates to local date-times, in a time zone with daylight-saving time.
class TestXlsDate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fromSerial_data();
    void fromSerial();
    void writerRoundTrip();
    void fromText_data();
    void fromText();
    void daylightSaving_data();
    void daylightSaving();
};

namespace {

const QString format = QStringLiteral("yyyy-MM-dd hh:mm:ss");

void setZone(const QByteArray &zone)
{
    qputenv("TZ", zone);
    tzset();
}

} // namespace

void TestXlsDate::initTestCase()
{
    // Central Europe: 2024-03-31 02:00 jumps to 03:00, 2024-10-27 03:00 falls back to 02:00.
    setZone("Europe/Berlin");
    QCOMPARE(QDateTime(QDate(2024, 7, 1), QTime(12, 0)).offsetFromUtc(), 7200);
}

void TestXlsDate::fromSerial_data()
{
    QTest::addColumn<double>("serial");
    QTest::addColumn<bool>("date1904");
    // Empty when the serial is no date-time.
    QTest::addColumn<QString>("expected");

    QTest::newRow("day zero") << 0.0 << false << "1899-12-30 00:00:00";
    QTest::newRow("time alone") << 0.5 << false << "1899-12-30 12:00:00";
    QTest::newRow("before day zero") << -1.25 << false << "1899-12-28 18:00:00";
    QTest::newRow("day 1") << 1.0 << false << "1900-01-01 00:00:00";
    QTest::newRow("day 59") << 59.75 << false << "1900-02-28 18:00:00";
    QTest::newRow("the 29 February 1900 that never was") << 60.0 << false << "1900-03-01 00:00:00";
    QTest::newRow("day 61") << 61.0 << false << "1900-03-01 00:00:00";
    QTest::newRow("2024-03-04 05:06:07")
        << 45355.0 + (5 * 3600 + 6 * 60 + 7) / 86400.0 << false << "2024-03-04 05:06:07";
    QTest::newRow("after 2100-02-28") << 73110.0 << false << "2100-03-01 00:00:00";
    QTest::newRow("half a second before midnight")
        << 45355.0 + 86399.5 / 86400.0 << false << "2024-03-05 00:00:00";
    QTest::newRow("0.4 s after a second")
        << 45355.0 + 1.4 / 86400.0 << false << "2024-03-04 00:00:01";
    QTest::newRow("9999-12-31") << 2958465.99999 << false << "9999-12-31 23:59:59";
    QTest::newRow("year 29279") << 1e7 << false << "29279-01-24 00:00:00";
    QTest::newRow("1904 day zero") << 0.0 << true << "1904-01-01 00:00:00";
    QTest::newRow("1904 day 1") << 1.5 << true << "1904-01-02 12:00:00";
    QTest::newRow("1904 2024-03-04") << 43893.0 << true << "2024-03-04 00:00:00";

    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << false << "";
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << false << "";
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << true << "";
    QTest::newRow("1e300") << 1e300 << false << "";
    QTest::newRow("beyond QDate") << 1e12 << false << "";
    QTest::newRow("beyond QDateTime") << 3e11 << false << "";
    QTest::newRow("year 27 million") << 1e10 << false << "27380970-01-24 00:00:00";
}

void TestXlsDate::fromSerial()
{
    QFETCH(double, serial);
    QFETCH(bool, date1904);
    QFETCH(QString, expected);
    const QDateTime time = XlsDate::fromSerial(serial, date1904);
    QCOMPARE(time.isValid(), !expected.isEmpty());
    if (!expected.isEmpty()) {
        QCOMPARE(time.toString(format), expected);
        QCOMPARE(time.timeSpec(), Qt::LocalTime);
    }
}

void TestXlsDate::writerRoundTrip()
{
    // Every second of a day and the first second of every day of 40 years come back exactly.
    const QDateTime start(QDate(2024, 3, 4), QTime(0, 0));
    for (int s = 0; s < 86400; ++s) {
        const QDateTime time = start.addSecs(s);
        if (XlsDate::fromSerial(XlsWriter::toSerial(time), false) != time)
            QFAIL(qPrintable(time.toString(format)));
    }
    for (QDate day(2000, 1, 1); day < QDate(2040, 1, 1); day = day.addDays(1)) {
        const QDateTime time(day, QTime(0, 0, 1));
        if (XlsDate::fromSerial(XlsWriter::toSerial(time), false) != time)
            QFAIL(qPrintable(time.toString(format)));
    }
}

void TestXlsDate::fromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("reading time") << "2024-03-04 05:06:07"
                                  << "2024-03-04 05:06:07";
    QTest::newRow("leap day") << "2024-02-29 23:59:59"
                              << "2024-02-29 23:59:59";
    QTest::newRow("no leap day") << "2023-02-29 12:00:00"
                                 << "";
    QTest::newRow("month 13") << "2024-13-04 05:06:07"
                              << "";
    QTest::newRow("hour 24") << "2024-03-04 24:00:00"
                             << "";
    QTest::newRow("no seconds") << "2024-03-04 05:06"
                                << "";
    QTest::newRow("T separator") << "2024-03-04T05:06:07"
                                 << "";
    QTest::newRow("letters") << "2024-0a-04 05:06:07"
                             << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestXlsDate::fromText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QDateTime time = XlsDate::fromText(text);
    QCOMPARE(time.isValid(), !expected.isEmpty());
    if (!expected.isEmpty())
        QCOMPARE(time.toString(format), expected);
}

void TestXlsDate::daylightSaving_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("wallClock");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("offset");

    QTest::newRow("Berlin, in the gap") << QByteArray("Europe/Berlin") << "2024-03-31 02:30:00"
                                        << "2024-03-31 03:30:00" << 7200;
    QTest::newRow("Berlin, start of the gap")
        << QByteArray("Europe/Berlin") << "2024-03-31 02:00:00"
        << "2024-03-31 03:00:00" << 7200;
    QTest::newRow("Berlin, end of the gap") << QByteArray("Europe/Berlin") << "2024-03-31 03:00:00"
                                            << "2024-03-31 03:00:00" << 7200;
    QTest::newRow("Berlin, before the gap") << QByteArray("Europe/Berlin") << "2024-03-31 01:59:59"
                                            << "2024-03-31 01:59:59" << 3600;
    QTest::newRow("Berlin, twice in autumn, first taken")
        << QByteArray("Europe/Berlin") << "2024-10-27 02:30:00"
        << "2024-10-27 02:30:00" << 7200;
    QTest::newRow("New York, in the gap") << QByteArray("America/New_York") << "2024-03-10 02:59:59"
                                          << "2024-03-10 03:59:59" << -4 * 3600;
    QTest::newRow("New York, twice in autumn, first taken")
        << QByteArray("America/New_York") << "2024-11-03 01:30:00"
        << "2024-11-03 01:30:00" << -4 * 3600;
    QTest::newRow("New York, winter") << QByteArray("America/New_York") << "2024-01-10 02:30:00"
                                      << "2024-01-10 02:30:00" << -5 * 3600;
}

void TestXlsDate::daylightSaving()
{
    QFETCH(QByteArray, zone);
    QFETCH(QString, wallClock);
    QFETCH(QString, expected);
    QFETCH(int, offset);
    setZone(zone);
    const QDateTime fromText = XlsDate::fromText(wallClock);
    QVERIFY(fromText.isValid());
    QCOMPARE(fromText.toString(format), expected);
    QCOMPARE(fromText.offsetFromUtc(), offset);

    // The same wall-clock time as a serial number.
    const QDate day = QDate::fromString(wallClock.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(wallClock.mid(11), QStringLiteral("hh:mm:ss"));
    const double serial =
        QDate(1899, 12, 30).daysTo(day) + time.msecsSinceStartOfDay() / 86400000.0;
    QCOMPARE(XlsDate::fromSerial(serial, false), fromText);
    setZone("Europe/Berlin");
}

QTEST_GUILESS_MAIN(TestXlsDate)
#include "tst_xlsdate.moc"
