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
    void fromWallClock_data();
    void fromWallClock();
    void zoneChangeIsSeenByTheNextCache();
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

void TestUtcOffsetCache::fromWallClock_data()
{
    QTest::addColumn<QDate>("day");
    // Berlin's offsets in seconds before 03:00 on that day and from then on: both changes of
    // daylight-saving time are at 03:00 as the clock would show it with the old offset.
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::newRow("a winter day") << QDate(2026, 1, 15) << 3600 << 3600;
    QTest::newRow("a summer day") << QDate(2026, 7, 15) << 7200 << 7200;
    // 02:00 to 03:00 is skipped: read with winter time, so 02:30 is 03:30 summer time.
    QTest::newRow("into summer time") << QDate(2026, 3, 29) << 3600 << 7200;
    // 02:00 to 03:00 comes twice: its first occurrence, in summer time.
    QTest::newRow("back to winter time") << QDate(2026, 10, 25) << 7200 << 3600;
}

void TestUtcOffsetCache::fromWallClock()
{
    QFETCH(QDate, day);
    QFETCH(int, before);
    QFETCH(int, after);
    UtcOffsetCache cache;
    for (int minute = 0; minute < 6 * 60; minute += 5) {
        const QTime wall = QTime(0, 0).addSecs(minute * 60 + 17);
        const int offset = wall < QTime(3, 0) ? before : after;
        const QDateTime time = cache.fromWallClock(day, wall);
        QCOMPARE(time.offsetFromUtc(), offset);
        QCOMPARE(time.toMSecsSinceEpoch(),
                 QDateTime(day, wall, Qt::UTC).toMSecsSinceEpoch() - offset * 1000LL);
    }
    QVERIFY(!cache.fromWallClock(QDate(2026, 2, 30), QTime(1, 0)).isValid());
}

void TestUtcOffsetCache::zoneChangeIsSeenByTheNextCache()
{
    // The workspace takes a new cache for every batch of readings it writes.
    const QDateTime noon(QDate(2026, 7, 1), QTime(12, 0), Qt::UTC);
    UtcOffsetCache before;
    QCOMPARE(before.offsetOf(noon.toLocalTime()), 2 * 3600);
    qputenv("TZ", "America/New_York");
    tzset();
    UtcOffsetCache after;
    const QDateTime local = noon.toLocalTime();
    QCOMPARE(after.offsetOf(local), -4 * 3600);
    QCOMPARE(after.offsetOf(local), local.offsetFromUtc());
    qputenv("TZ", "Europe/Berlin");
    tzset();
}

QTEST_GUILESS_MAIN(TestUtcOffsetCache)
#include "tst_utcoffsetcache.moc"
