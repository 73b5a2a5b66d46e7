#include <cmath>
#include <limits>
#include <memory>

#include <QPointer>
#include <QRandomGenerator>
#include <QtTest>

#include "dmmdata.h"
#include "igaugerange.h"
#include "itemdata.h"

namespace {
const QString Micrometre = QStringLiteral("\u03BCm");
const QString Mil = QStringLiteral("mil");

// The mil value is deliberately not um / 25.4 so a test sees which of the two an item uses.
DmmData *makeReading(double umValue, double milValue, int overload = 0)
{
    auto *reading = new DmmData;
    reading->setUmValue(umValue);
    reading->setMilValue(milValue);
    reading->setOverload(overload);
    return reading;
}

// An infinite value makes an over-range reading as the gauge sends it: value 0, overload +-1.
DmmData *makeReading(const QString &unit, double value)
{
    if (std::isinf(value))
        return makeReading(0.0, 0.0, value > 0 ? 1 : -1);
    return unit == Micrometre ? makeReading(value, -999.0) : makeReading(-999.0, value);
}

// The count of over-range readings follows as "OL:n" when there are any.
QStringList texts(const ItemData &item)
{
    const StatData *s = item.statistics();
    QStringList result{QString::number(s->num), s->avg, s->min, s->max};
    if (s->overRange > 0)
        result.append(QStringLiteral("OL:%1").arg(s->overRange));
    if (s->excluded > 0)
        result.append(QStringLiteral("Excl:%1").arg(s->excluded));
    return result;
}

QStringList spreadTexts(const ItemData &item)
{
    return {item.statistics()->sd, item.statistics()->cv};
}
const double Inf = std::numeric_limits<double>::infinity();
const double Default = IGaugeRange::DefaultRangeUm;
const QList<int> Keep;
} // namespace

class TestItemData : public QObject
{
    Q_OBJECT

private slots:
    void newItemHasZeroStatistics();
    void statistics_data();
    void statistics();
    void formatStatistic_data();
    void formatStatistic();
    void unitChangeKeepsTextsUntilRecomputed();
    void clearReadingsKeepsIdentity();
    void readingsAreOwnedAndKeptInOrder();
    void spread_data();
    void spread();
    void valueOfOverRangeReadings_data();
    void valueOfOverRangeReadings();
    void refreshedTextsFollowTheUnit();
    void incrementalMatchesFullRecomputation_data();
    void incrementalMatchesFullRecomputation();
};

void TestItemData::newItemHasZeroStatistics()
{
    const ItemData item(QStringLiteral("Measure1"), ItemData::MeasureData);
    QCOMPARE(item.name(), QStringLiteral("Measure1"));
    QCOMPARE(item.dataType(), ItemData::MeasureData);
    QVERIFY(item.unit().isEmpty());
    QVERIFY(item.readings().isEmpty());
    QCOMPARE(texts(item), (QStringList{"0", "0", "0", "0"}));
    QCOMPARE(QMetaType::typeName(qMetaTypeId<ItemData *>()), "ItemData*");
}

void TestItemData::statistics_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<double>("rangeUm");
    // Readings excluded by index: num still counts them, "Excl:n" says how many.
    QTest::addColumn<QList<int>>("excluded");

    using L = QList<double>;
    QTest::newRow("um 10 20 30") << Micrometre << L{10, 20, 30}
                                 << QStringList{"3", "20.0", "10.0", "30.0"} << Default << Keep;
    QTest::newRow("mil 10 20 30") << Mil << L{10, 20, 30}
                                  << QStringList{"3", "20.00", "10.00", "30.00"} << Default << Keep;
    QTest::newRow("empty unit counts as mil")
        << QString() << L{1.5} << QStringList{"1", "1.50", "1.50", "1.50"} << Default << Keep;
    QTest::newRow("um empty") << Micrometre << L{} << QStringList{"0", "0.0", "0.0", "0.0"}
                              << Default << Keep;
    QTest::newRow("mil empty") << Mil << L{} << QStringList{"0", "0.00", "0.00", "0.00"} << Default
                               << Keep;
    QTest::newRow("unordered") << Micrometre << L{30, 10, 20, 10}
                               << QStringList{"4", "17.5", "10.0", "30.0"} << Default << Keep;
    QTest::newRow("negative min") << Mil << L{-2, 4} << QStringList{"2", "1.00", "-OL", "4.00"}
                                  << Default << Keep;
    QTest::newRow("negative all") << Micrometre << L{-3, -1}
                                  << QStringList{"2", "-OL", "-OL", "-OL"} << Default << Keep;
    QTest::newRow("above limit") << Micrometre << L{1000, 1300}
                                 << QStringList{"2", "1150.0", "1000.0", " OL"} << Default << Keep;
    QTest::newRow("limit is the same in mil")
        << Mil << L{1300} << QStringList{"1", " OL", " OL", " OL"} << Default << Keep;
    QTest::newRow("exactly 1250 um")
        << Micrometre << L{1250} << QStringList{"1", "1250.0", "1250.0", "1250.0"} << Default
        << Keep;
    QTest::newRow("a reading of 0 counts as 0")
        << Micrometre << L{0, 20} << QStringList{"2", "10.0", "0.0", "20.0"} << Default << Keep;
    QTest::newRow("a value that is no number counts as over range")
        << Micrometre << L{120, std::nan(""), 124}
        << QStringList{"3", "122.0", "120.0", "124.0", "OL:1"} << Default << Keep;
    QTest::newRow("OL and -OL stay out of avg min max")
        << Micrometre << L{120, Inf, 124, -Inf}
        << QStringList{"4", "122.0", "120.0", "124.0", "OL:2"} << Default << Keep;
    QTest::newRow("eleven readings and one -OL")
        << Micrometre << (L() << QVector<double>(11, 122.0).toList() << -Inf)
        << QStringList{"12", "122.0", "122.0", "122.0", "OL:1"} << Default << Keep;
    QTest::newRow("over range first")
        << Mil << L{Inf, 2.5, 1.5} << QStringList{"3", "2.00", "1.50", "2.50", "OL:1"} << Default
        << Keep;
    QTest::newRow("all over range shows what an empty item shows")
        << Micrometre << L{Inf, -Inf, Inf} << QStringList{"3", "0.0", "0.0", "0.0", "OL:3"}
        << Default << Keep;
    QTest::newRow("1300 is in a range of 5000")
        << Micrometre << L{1000, 1300} << QStringList{"2", "1150.0", "1000.0", "1300.0"} << 5000.0
        << Keep;
    QTest::newRow("exactly 5000 in a range of 5000")
        << Micrometre << L{5000} << QStringList{"1", "5000.0", "5000.0", "5000.0"} << 5000.0
        << Keep;
    QTest::newRow("above a range of 5000")
        << Micrometre << L{1300, 5000.6} << QStringList{"2", "3150.3", "1300.0", " OL"} << 5000.0
        << Keep;
    QTest::newRow("a range of 5000 in mil")
        << Mil << L{1300, 5001} << QStringList{"2", "3150.50", "1300.00", " OL"} << 5000.0 << Keep;
    QTest::newRow("a smaller range")
        << Micrometre << L{400, 600} << QStringList{"2", "500.0", "400.0", " OL"} << 500.0 << Keep;
    QTest::newRow("OL from the gauge whatever the range")
        << Micrometre << L{1300, Inf} << QStringList{"2", "1300.0", "1300.0", "1300.0", "OL:1"}
        << 5000.0 << Keep;
    QTest::newRow("an excluded reading leaves avg min max, not num")
        << Micrometre << L{120, 5, 124} << QStringList{"3", "122.0", "120.0", "124.0", "Excl:1"}
        << Default << QList<int>{1};
    QTest::newRow("an excluded over-range reading is not counted over range")
        << Micrometre << L{120, Inf, 124} << QStringList{"3", "122.0", "120.0", "124.0", "Excl:1"}
        << Default << QList<int>{1};
    QTest::newRow("every reading excluded")
        << Mil << L{1, 2} << QStringList{"2", "-", "-", "-", "Excl:2"} << Default
        << QList<int>{0, 1};
    QTest::newRow("indexes outside the readings are passed over")
        << Micrometre << L{10, 30} << QStringList{"2", "20.0", "10.0", "30.0"} << Default
        << QList<int>{-1, 2};
}

// Both ways of filling an item (flag per reading, or once at the end) give the same texts.
void TestItemData::statistics()
{
    QFETCH(QString, unit);
    QFETCH(QList<double>, values);
    QFETCH(QStringList, expected);
    QFETCH(double, rangeUm);
    QFETCH(QList<int>, excluded);

    ItemData live(QStringLiteral("Measure1"), ItemData::MeasureData);
    ItemData imported(QStringLiteral("Import1"), ItemData::ImportData);
    QCOMPARE(live.rangeUm(), Default);
    live.setUnit(unit);
    imported.setUnit(unit);
    live.setRangeUm(rangeUm);
    imported.setRangeUm(rangeUm);
    for (double v : values) {
        live.appendReading(makeReading(unit, v), true);
        imported.appendReading(makeReading(unit, v), false);
    }
    imported.updateStatistics();
    if (!excluded.isEmpty()) {
        live.setExcluded(excluded.toVector(), QStringLiteral("Probe lifted or tilted"));
        imported.setExcluded(excluded.toVector(), QStringLiteral("Wrong part"));
        // A full recomputation leaves the excluded readings out as well.
        imported.updateStatistics();
    }
    if (!values.isEmpty())
        QCOMPARE(texts(live), expected);
    QCOMPARE(texts(imported), expected);
    if (!excluded.isEmpty()) {
        // SD and CV are those of the readings that count.
        ItemData kept(QStringLiteral("Kept"), ItemData::MeasureData);
        kept.setUnit(unit);
        for (int i = 0; i < values.size(); ++i) {
            if (!excluded.contains(i))
                kept.appendReading(makeReading(unit, values.at(i)), true);
        }
        QCOMPARE(spreadTexts(live), spreadTexts(kept));
    }
    // Including them again brings back what the readings gave without exclusions.
    if (!excluded.isEmpty()) {
        ItemData plain(QStringLiteral("Plain"), ItemData::MeasureData);
        plain.setUnit(unit);
        plain.setRangeUm(rangeUm);
        for (double v : values)
            plain.appendReading(makeReading(unit, v), false);
        plain.updateStatistics();
        live.setExcluded(excluded.toVector(), QString());
        QCOMPARE(live.excludedCount(), 0);
        QCOMPARE(texts(live), texts(plain));
        QCOMPARE(spreadTexts(live), spreadTexts(plain));
    }
}

void TestItemData::formatStatistic_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<double>("rangeUm");

    QTest::newRow("um zero") << Micrometre << 0.0 << "0.0" << Default;
    QTest::newRow("mil zero") << Mil << 0.0 << "0.00" << Default;
    QTest::newRow("um rounds to 1 decimal") << Micrometre << 12.34 << "12.3" << Default;
    QTest::newRow("mil rounds to 2 decimals") << Mil << 0.987 << "0.99" << Default;
    QTest::newRow("just below zero") << Micrometre << -0.001 << "-OL" << Default;
    QTest::newRow("exactly 1250") << Micrometre << 1250.0 << "1250.0" << Default;
    QTest::newRow("just above 1250") << Mil << 1250.001 << " OL" << Default;
    QTest::newRow("ascii um is not micrometre") << "um" << 3.0 << "3.00" << Default;
    QTest::newRow("capital mu is not micrometre")
        << QStringLiteral("\u039Cm") << 3.0 << "3.00" << Default;
    QTest::newRow("1300 in a range of 5000") << Micrometre << 1300.0 << "1300.0" << 5000.0;
    QTest::newRow("just above 5000") << Micrometre << 5000.001 << " OL" << 5000.0;
    QTest::newRow("below zero in a range of 5000") << Micrometre << -0.001 << "-OL" << 5000.0;
}

void TestItemData::formatStatistic()
{
    QFETCH(QString, unit);
    QFETCH(double, value);
    QFETCH(QString, expected);
    QFETCH(double, rangeUm);

    ItemData item(QStringLiteral("Measure1"), ItemData::MeasureData);
    item.setUnit(unit);
    item.setRangeUm(rangeUm);
    QCOMPARE(item.formatStatistic(value), expected);
}

void TestItemData::unitChangeKeepsTextsUntilRecomputed()
{
    ItemData item(QStringLiteral("Measure1"), ItemData::MeasureData);
    item.setUnit(Micrometre);
    for (double v : {25.4, 50.8, 76.2})
        item.appendReading(makeReading(v, v / 25.4), true);
    QCOMPARE(texts(item), (QStringList{"3", "50.8", "25.4", "76.2"}));

    item.setUnit(Mil);
    QCOMPARE(texts(item), (QStringList{"3", "50.8", "25.4", "76.2"}));

    item.appendReading(makeReading(101.6, 4.0), true);
    QCOMPARE(texts(item), (QStringList{"4", "2.50", "1.00", "4.00"}));
}

void TestItemData::clearReadingsKeepsIdentity()
{
    ItemData item(tr("Store Data"), ItemData::StoreData);
    item.setUnit(Micrometre);
    QPointer<DmmData> reading = makeReading(10, 1);
    item.appendReading(reading, true);

    item.clearReadings();
    QVERIFY(reading.isNull());
    QVERIFY(item.readings().isEmpty());
    QCOMPARE(texts(item), (QStringList{"0", "0", "0", "0"}));
    QCOMPARE(item.name(), tr("Store Data"));
    QCOMPARE(item.unit(), Micrometre);
    QCOMPARE(item.dataType(), ItemData::StoreData);

    // A download after the clear starts its statistics from scratch.
    item.appendReading(makeReading(40, 1), true);
    QCOMPARE(texts(item), (QStringList{"1", "40.0", "40.0", "40.0"}));
}

void TestItemData::readingsAreOwnedAndKeptInOrder()
{
    QPointer<DmmData> first = makeReading(1, 1);
    QPointer<DmmData> second = makeReading(2, 2);
    {
        ItemData item(QStringLiteral("Measure1"), ItemData::MeasureData);
        item.appendReading(first, false);
        item.appendReading(second, false);
        QCOMPARE(item.readings(), (QList<DmmData *>{first, second}));
        QCOMPARE(item.statistics()->num, 0);
    }
    QVERIFY(first.isNull());
    QVERIFY(second.isNull());
}

void TestItemData::spread_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<QStringList>("expected");

    using L = QList<double>;
    QTest::newRow("new item") << Micrometre << L{} << QStringList{"-", "-"};
    QTest::newRow("one reading") << Micrometre << L{120} << QStringList{"-", "-"};
    QTest::newRow("um 10 20 30") << Micrometre << L{10, 20, 30} << QStringList{"10.0", "50.0%"};
    QTest::newRow("mil 4 5 6") << Mil << L{4, 5, 6} << QStringList{"1.00", "20.0%"};
    QTest::newRow("mean 0 has no cv") << Micrometre << L{-5, 5} << QStringList{"7.1", "-"};
    QTest::newRow("over range left out")
        << Micrometre << L{10, Inf, 20, -Inf, 30} << QStringList{"10.0", "50.0%"};
}

void TestItemData::spread()
{
    QFETCH(QString, unit);
    QFETCH(QList<double>, values);
    QFETCH(QStringList, expected);
    ItemData item(QStringLiteral("Measure1"), ItemData::MeasureData);
    item.setUnit(unit);
    for (double v : values)
        item.appendReading(makeReading(unit, v), true);
    QCOMPARE(spreadTexts(item), expected);
    item.updateStatistics();
    QCOMPARE(spreadTexts(item), expected);
    item.clearReadings();
    QCOMPARE(spreadTexts(item), (QStringList{"-", "-"}));
}

void TestItemData::valueOfOverRangeReadings_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("overload");
    QTest::addColumn<double>("expected");

    QTest::newRow("in range, um") << Micrometre << 0 << 25.4;
    QTest::newRow("in range, mil") << Mil << 0 << 1.0;
    QTest::newRow("OL, um") << Micrometre << 1 << Inf;
    QTest::newRow("OL, mil") << Mil << 1 << Inf;
    QTest::newRow("-OL, um") << Micrometre << -1 << -Inf;
}

// An over-range reading is over range whatever value it carries.
void TestItemData::valueOfOverRangeReadings()
{
    QFETCH(QString, unit);
    QFETCH(int, overload);
    QFETCH(double, expected);

    ItemData item(QStringLiteral("Import1"), ItemData::ImportData);
    item.setUnit(unit);
    const std::unique_ptr<DmmData> reading(makeReading(25.4, 1.0, overload));
    QCOMPARE(item.valueOf(reading.get()), expected);
    QCOMPARE(ItemData::valueOf(reading.get(), unit == Micrometre), expected);
}

void TestItemData::refreshedTextsFollowTheUnit()
{
    ItemData item(QStringLiteral("Measure1"), ItemData::MeasureData);
    item.setUnit(Mil);
    item.refreshStatisticsTexts();
    QCOMPARE(texts(item), (QStringList{"0", "0", "0", "0"}));

    for (double mil : {1.0, 2.0})
        item.appendReading(makeReading(mil * 25.4, mil), true);
    item.appendReading(makeReading(Mil, Inf), true);
    QCOMPARE(texts(item), (QStringList{"3", "1.50", "1.00", "2.00", "OL:1"}));
    item.setUnit(Micrometre);
    item.refreshStatisticsTexts();
    QCOMPARE(texts(item), (QStringList{"3", "38.1", "25.4", "50.8", "OL:1"}));

    item.clearReadings();
    item.refreshStatisticsTexts();
    QCOMPARE(texts(item), (QStringList{"0", "0", "0", "0"}));
}

void TestItemData::incrementalMatchesFullRecomputation_data()
{
    QTest::addColumn<QString>("firstUnit");
    QTest::addColumn<QString>("secondUnit");
    QTest::addColumn<quint32>("seed");

    QTest::newRow("um then mil") << Micrometre << Mil << 6814u;
    QTest::newRow("mil then um") << Mil << Micrometre << 1002u;
    QTest::newRow("um throughout") << Micrometre << Micrometre << 42u;
}

// Values are multiples of 0.05, so many averages sit exactly on a rounding boundary of the
// texts and any difference in the summation shows.
void TestItemData::incrementalMatchesFullRecomputation()
{
    QFETCH(QString, firstUnit);
    QFETCH(QString, secondUnit);
    QFETCH(quint32, seed);

    QRandomGenerator random(seed);
    ItemData incremental(QStringLiteral("Measure1"), ItemData::MeasureData);
    ItemData reference(QStringLiteral("Measure2"), ItemData::MeasureData);
    const auto append = [&](bool flag) {
        const double um = random.bounded(26000) * 0.05 - 25.0;
        const double mil = random.bounded(5200) * 0.05 - 5.0;
        // Now and then a reading beyond the range on either side.
        const int overload = random.bounded(20) == 0 ? (random.bounded(2) ? 1 : -1) : 0;
        incremental.appendReading(makeReading(um, mil, overload), flag);
        reference.appendReading(makeReading(um, mil, overload), false);
        reference.updateStatistics();
        if (flag) {
            QCOMPARE(texts(incremental), texts(reference));
            QCOMPARE(spreadTexts(incremental), spreadTexts(reference));
        }
    };

    incremental.setUnit(firstUnit);
    reference.setUnit(firstUnit);
    for (int i = 0; i < 600; ++i)
        append(i % 7 != 3);

    const QStringList before = texts(incremental);
    incremental.setUnit(secondUnit);
    reference.setUnit(secondUnit);
    QCOMPARE(texts(incremental), before);
    for (int i = 0; i < 600; ++i)
        append(i % 5 != 0);

    incremental.clearReadings();
    reference.clearReadings();
    for (int i = 0; i < 200; ++i)
        append(true);

    incremental.updateStatistics();
    QCOMPARE(texts(incremental), texts(reference));
}

QTEST_GUILESS_MAIN(TestItemData)
#include "tst_itemdata.moc"
