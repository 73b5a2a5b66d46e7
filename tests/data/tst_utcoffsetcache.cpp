#include <ctime>

#include <QtTest>

#include "utcoffsetcache.h"

class TestUtcOffsetCache : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sameOffsetsAsQt_data();
    void sameOffsetsAsQt();
};

void TestUtcOffsetCache::initTestCase()
{
    // A zone with both changes of daylight-saving time, whatever the machine's own.
    qputenv("TZ", "Europe/Berlin");
    tzset();
}

void TestUtcOffsetCache::sameOffsetsAsQt_data()
{
    QTest::addColumn<QDateTime>("from");
    QTest::addColumn<int>("stepSeconds");
    QTest::newRow("into summer time, every 7 s")
        << QDateTime(QDate(2026, 3, 29), QTime(0, 30), Qt::UTC) << 7;
    QTest::newRow("back to winter time, every 7 s")
        << QDateTime(QDate(2026, 10, 25), QTime(0, 30), Qt::UTC) << 7;
    // 02:30 summer time, then 02:30 winter time: the same wall clock one after the other.
    QTest::newRow("the hour that comes twice, every hour")
        << QDateTime(QDate(2026, 10, 25), QTime(0, 30), Qt::UTC) << 3600;
    QTest::newRow("a year, every 10 minutes")
        << QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC) << 600;
}

void TestUtcOffsetCache::sameOffsetsAsQt()
{
    QFETCH(QDateTime, from);
    QFETCH(int, stepSeconds);
    UtcOffsetCache cache;
    const int steps = stepSeconds < 60      ? 2 * 3600 / stepSeconds
                      : stepSeconds == 3600 ? 3
                                            : 366 * 24 * 6;
    for (int i = 0; i < steps; ++i) {
        const QDateTime local = from.addSecs(qint64(i) * stepSeconds).toLocalTime();
        QCOMPARE(cache.offsetOf(local), local.offsetFromUtc());
    }
    QVERIFY(from.toLocalTime().offsetFromUtc() != 0);
}

QTEST_GUILESS_MAIN(TestUtcOffsetCache)
#include "tst_utcoffsetcache.moc"
