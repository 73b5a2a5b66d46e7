#include <QtTest>

#include "dmmdata.h"
#include "itemdata.h"
#include "itemsummary.h"

namespace {

DmmData *reading(double um, const QString &basis, int second, int overload = 0)
{
    auto *data = new DmmData;
    data->setUmValue(um);
    data->setMilValue(um / 25.4);
    data->setBasis(basis);
    data->setOverload(overload);
    data->setTime(QDateTime(QDate(2026, 12, 1), QTime(8, 0, second)));
    return data;
}

QString value(const ItemSummary::Rows &rows, const QString &label, int occurrence = 0)
{
    for (const auto &row : rows) {
        if (row.first == label && occurrence-- == 0)
            return row.second;
    }
    return QStringLiteral("(none)");
}

} // namespace

class TestItemSummary : public QObject
{
    Q_OBJECT

private slots:
    void noRequirementNoSummary();
    void judgedItem();
    void reportRowsOfEveryItem();
};

void TestItemSummary::noRequirementNoSummary()
{
    ItemData item(QStringLiteral("Measure1"), ItemData::MeasureData);
    item.appendReading(reading(120, QStringLiteral("Fe"), 0), true);
    QVERIFY(ItemSummary::rows(item).isEmpty());
}

void TestItemSummary::judgedItem()
{
    ItemData item(QStringLiteral("Measure1"), ItemData::MeasureData);
    item.setUnit(QStringLiteral("\u03BCm"));
    CoatingRequirement requirement(QStringLiteral("limits"), QStringLiteral("\u03BCm"));
    requirement.setValue(QStringLiteral("minimum"), 100);
    requirement.setValue(QStringLiteral("maximum"), 200);
    item.setRequirement(requirement);
    item.appendReading(reading(150, QStringLiteral("Fe"), 0), true);
    item.appendReading(reading(90, QStringLiteral("NFe"), 5), true);
    item.appendReading(reading(0, QStringLiteral("Fe"), 7, 1), true);
    item.appendReading(reading(160, QStringLiteral("Fe"), 9), true);

    const ItemSummary::Rows rows = ItemSummary::rows(item);
    QCOMPARE(value(rows, "Item"), QStringLiteral("Measure1"));
    QCOMPARE(value(rows, "Unit"), QStringLiteral("\u03BCm"));
    QCOMPARE(value(rows, "Basis"), QStringLiteral("Fe, NFe"));
    QCOMPARE(value(rows, "Time span"), QStringLiteral("2026-12-01 08:00:00 - 2026-12-01 08:00:09"));
    QCOMPARE(value(rows, "Readings"), QStringLiteral("4"));
    QCOMPARE(value(rows, "Average"), QStringLiteral("133.3"));
    QCOMPARE(value(rows, "Standard deviation"), QStringLiteral("37.9"));
    QCOMPARE(value(rows, "Rule"), QStringLiteral("Minimum and maximum"));
    QCOMPARE(value(rows, "Minimum"), QStringLiteral("100.0 \u03BCm"));
    QCOMPARE(value(rows, "Verdict"), QStringLiteral("FAIL"));
    QCOMPARE(value(rows, "Failed"), QStringLiteral("1 reading below the minimum 100.0 \u03BCm"));
    QCOMPARE(value(rows, "Caused by"), QStringLiteral("No. 2"));
    QCOMPARE(value(rows, "Failed", 1), QStringLiteral("(none)"));
    QCOMPARE(value(rows, "Over range, not judged"), QStringLiteral("1"));
}

void TestItemSummary::reportRowsOfEveryItem()
{
    ItemData item(QStringLiteral("Measure1"), ItemData::MeasureData);
    item.setUnit(QStringLiteral("\u03BCm"));
    item.appendReading(reading(120, QStringLiteral("Fe"), 0), true);
    item.appendReading(reading(0, QStringLiteral("Fe"), 1, 1), true);
    const ItemSummary::Rows rows = ItemSummary::reportRows(item);
    QCOMPARE(value(rows, "Readings"), QStringLiteral("2"));
    QCOMPARE(value(rows, "Over range"), QStringLiteral("1"));
    QCOMPARE(value(rows, "Requirement"), QStringLiteral("None"));
    QCOMPARE(value(rows, ItemSummary::verdictLabel()), QStringLiteral("(none)"));

    CoatingRequirement requirement(QStringLiteral("limits"), QStringLiteral("\u03BCm"));
    requirement.setValue(QStringLiteral("minimum"), 100);
    requirement.setValue(QStringLiteral("maximum"), 200);
    item.setRequirement(requirement);
    QCOMPARE(ItemSummary::reportRows(item), ItemSummary::rows(item));
}

QTEST_GUILESS_MAIN(TestItemSummary)
#include "tst_itemsummary.moc"
