#include <QtTest>

#include "readingtext.h"
#include "utcoffsetcache.h"

class TestReadingText : public QObject
{
    Q_OBJECT

private slots:
    void numbers_data();
    void numbers();
    void times_data();
    void times();
};

void TestReadingText::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");
    QTest::newRow("decimal point") << "120.5" << true << 120.5;
    QTest::newRow("decimal comma") << "120,5" << true << 120.5;
    QTest::newRow("blanks around, sign") << " +7 " << true << 7.0;
    QTest::newRow("negative exponent") << "-1.5e-3" << true << -0.0015;
    QTest::newRow("grouping") << "1,200.5" << false << 0.0;
    QTest::newRow("unit after it") << "12 um" << false << 0.0;
    QTest::newRow("not a number") << "nan" << false << 0.0;
    QTest::newRow("infinity") << "inf" << false << 0.0;
    QTest::newRow("empty") << "  " << false << 0.0;
    QTest::newRow("too long") << QString(80, '1') << false << 0.0;
}

void TestReadingText::numbers()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(double, value);
    double read = 0.0;
    QCOMPARE(ReadingText::number(text, &read), valid);
    if (valid)
        QCOMPARE(read, value);
}

void TestReadingText::times_data()
{
    QTest::addColumn<QString>("text");
    // The instant in UTC; invalid for a text that is refused.
    QTest::addColumn<QDateTime>("utc");
    const QDateTime local(QDate(2026, 12, 8), QTime(9, 15, 30));
    const QDateTime utc(QDate(2026, 12, 8), QTime(8, 15, 30), Qt::UTC);
    QTest::newRow("the CSV export's") << "2026-12-08T09:15:30+01:00" << utc;
    QTest::newRow("offset without colon") << "2026-12-08T09:15:30+0100" << utc;
    QTest::newRow("negative offset") << "2026-12-08T03:15:30-05:00" << utc;
    QTest::newRow("Z") << "2026-12-08T08:15:30Z" << utc;
    QTest::newRow("fraction") << "2026-12-08T08:15:30.250Z" << utc.addMSecs(250);
    QTest::newRow("local, as the table shows it") << "2026-12-08 09:15:30" << local.toUTC();
    QTest::newRow("local without seconds") << "2026-12-08 09:15" << local.addSecs(-30).toUTC();
    QTest::newRow("no such day") << "2026-02-30 09:15:30" << QDateTime();
    QTest::newRow("hour 24") << "2026-12-08 24:00:00" << QDateTime();
    QTest::newRow("offset out of range") << "2026-12-08T09:15:30+19:00" << QDateTime();
    QTest::newRow("text after it") << "2026-12-08T09:15:30+01:00x" << QDateTime();
    QTest::newRow("a date alone") << "2026-12-08" << QDateTime();
    QTest::newRow("day first") << "08.12.2026 09:15" << QDateTime();
}

void TestReadingText::times()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, utc);
    UtcOffsetCache offsets;
    const QDateTime read = ReadingText::time(text, &offsets);
    QCOMPARE(read.isValid(), utc.isValid());
    if (utc.isValid()) {
        QCOMPARE(read.toUTC(), utc);
        // The wall-clock time as written, or as the local clock showed it.
        QVERIFY(read.timeSpec() != Qt::LocalTime);
        QCOMPARE(read.toString(QStringLiteral("hh:mm")), text.mid(11, 5));
    }
}

QTEST_GUILESS_MAIN(TestReadingText)
#include "tst_readingtext.moc"
