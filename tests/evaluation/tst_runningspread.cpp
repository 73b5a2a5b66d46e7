#include <cmath>

#include <QRandomGenerator>
#include <QtTest>

#include "runningspread.h"

class TestRunningSpread : public QObject
{
    Q_OBJECT

private slots:
    void workedExamples_data();
    void workedExamples();
    void matchesATwoPassComputation_data();
    void matchesATwoPassComputation();
};

void TestRunningSpread::workedExamples_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<double>("sd");
    QTest::addColumn<double>("cv");

    const double none = qQNaN();
    QTest::newRow("none") << QList<double>{} << none << none;
    QTest::newRow("one value") << QList<double>{120} << none << none;
    QTest::newRow("10 20 30") << QList<double>{10, 20, 30} << 10.0 << 50.0;
    QTest::newRow("all equal") << QList<double>{125, 125, 125} << 0.0 << 0.0;
    QTest::newRow("mean 0") << QList<double>{-1, 1} << std::sqrt(2.0) << none;
    QTest::newRow("negative mean") << QList<double>{-1, -3} << std::sqrt(2.0) << none;
}

void TestRunningSpread::workedExamples()
{
    QFETCH(QList<double>, values);
    QFETCH(double, sd);
    QFETCH(double, cv);
    RunningSpread spread;
    for (double value : values)
        spread.add(value);
    QCOMPARE(spread.count(), values.size());
    QCOMPARE(std::isnan(spread.standardDeviation()), std::isnan(sd));
    if (!std::isnan(sd))
        QVERIFY(qAbs(spread.standardDeviation() - sd) < 1e-12);
    QCOMPARE(std::isnan(spread.coefficientOfVariation()), std::isnan(cv));
    if (!std::isnan(cv))
        QVERIFY(qAbs(spread.coefficientOfVariation() - cv) < 1e-12);
    spread.clear();
    QCOMPARE(spread.count(), 0);
}

void TestRunningSpread::matchesATwoPassComputation_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<double>("offset");
    QTest::addColumn<int>("count");

    QTest::newRow("a coat of 120 um") << 6814u << 120.0 << 1000;
    QTest::newRow("close values far from 0") << 42u << 1.0e6 << 100000;
    QTest::newRow("mils") << 1002u << 4.7 << 5000;
}

// The running update against the textbook: the mean first, then the squared deviations from it.
void TestRunningSpread::matchesATwoPassComputation()
{
    QFETCH(quint32, seed);
    QFETCH(double, offset);
    QFETCH(int, count);
    QRandomGenerator random(seed);
    QVector<double> values;
    RunningSpread spread;
    for (int i = 0; i < count; ++i) {
        values.append(offset + random.bounded(20.0) - 10.0);
        spread.add(values.last());
    }
    double mean = 0.0;
    for (double value : values)
        mean += value;
    mean /= count;
    double squares = 0.0;
    for (double value : values)
        squares += (value - mean) * (value - mean);
    const double sd = std::sqrt(squares / (count - 1));
    QVERIFY(qAbs(spread.mean() - mean) <= 1e-9 * qAbs(mean));
    QVERIFY2(qAbs(spread.standardDeviation() - sd) <= 1e-9 * sd,
             qPrintable(QStringLiteral("%1 %2")
                            .arg(spread.standardDeviation(), 0, 'g', 17)
                            .arg(sd, 0, 'g', 17)));
    QVERIFY(qAbs(spread.coefficientOfVariation() - 100.0 * sd / mean) <=
            1e-9 * (100.0 * sd / mean));
}

QTEST_GUILESS_MAIN(TestRunningSpread)
#include "tst_runningspread.moc"
