#include <memory>

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

#include "datamodel.h"
#include "dmmdata.h"
#include "itemdata.h"

namespace {
const QString Micrometre = QStringLiteral("\u03BCm");

DmmData *makeReading(const QString &umText, const QString &milText, const QString &basis,
                     const QDateTime &time)
{
    auto *reading = new DmmData;
    reading->setTime(time);
    reading->setUmText(umText);
    reading->setMilText(milText);
    reading->setUnit(QStringLiteral("mil"));
    reading->setBasis(basis);
    return reading;
}

// Every signal that tells a view about structure; the model must only ever use the row ones.
struct SignalLog
{
    explicit SignalLog(QAbstractItemModel *model)
        : aboutToInsert(model, &QAbstractItemModel::rowsAboutToBeInserted)
        , inserted(model, &QAbstractItemModel::rowsInserted)
        , aboutToRemove(model, &QAbstractItemModel::rowsAboutToBeRemoved)
        , removed(model, &QAbstractItemModel::rowsRemoved)
        , reset(model, &QAbstractItemModel::modelReset)
        , dataChanged(model, &QAbstractItemModel::dataChanged)
    {
    }

    // "+first-last" per insertion, "-first-last" per removal, "reset" and "data" otherwise.
    QStringList events() const
    {
        QStringList out;
        const auto range = [](const QList<QVariant> &args) {
            return QStringLiteral("%1-%2").arg(args.at(1).toInt()).arg(args.at(2).toInt());
        };
        for (int i = 0; i < inserted.count(); ++i) {
            if (aboutToInsert.at(i) != inserted.at(i))
                out << QStringLiteral("mismatched insert");
            out << QLatin1Char('+') + range(inserted.at(i));
        }
        for (int i = 0; i < removed.count(); ++i) {
            if (aboutToRemove.at(i) != removed.at(i))
                out << QStringLiteral("mismatched remove");
            out << QLatin1Char('-') + range(removed.at(i));
        }
        if (aboutToInsert.count() != inserted.count() || aboutToRemove.count() != removed.count())
            out << QStringLiteral("unfinished");
        if (!reset.isEmpty())
            out << QStringLiteral("reset");
        if (!dataChanged.isEmpty())
            out << QStringLiteral("data");
        return out;
    }

    QSignalSpy aboutToInsert;
    QSignalSpy inserted;
    QSignalSpy aboutToRemove;
    QSignalSpy removed;
    QSignalSpy reset;
    QSignalSpy dataChanged;
};

// Gives the test indexes the model itself would never hand out.
class ProbedDataModel : public DataModel
{
public:
    QModelIndex rawIndex(int row, int column) const { return createIndex(row, column); }
};
} // namespace

class TestDataModel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void headerData_data();
    void headerData();
    void cells_data();
    void cells();
    void numberIsAnInteger();
    void otherRolesHaveNoData_data();
    void otherRolesHaveNoData();
    void outsideTheTableHasNoData_data();
    void outsideTheTableHasNoData();
    void cellsAreNotEditable();
    void overloadShowsItsText();
    void operations_data();
    void operations();
    void completedSpotMarksItsEarlierRows();
    void excludedRowsAreStruckThroughWithTheirReason();

private:
    void fill(int count);

    std::unique_ptr<ItemData> m_item;
    std::unique_ptr<ProbedDataModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    const QDateTime m_time{QDate(2024, 3, 5), QTime(7, 8, 9)};
};

void TestDataModel::init()
{
    m_item = std::make_unique<ItemData>(QStringLiteral("Measure1"), ItemData::MeasureData);
    m_model = std::make_unique<ProbedDataModel>();
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
}

void TestDataModel::cleanup()
{
    m_tester.reset();
    m_model.reset();
    m_item.reset();
}

// Readings numbered from 1: umText "n0", milText "n.00", basis "Fe" or "NFe".
void TestDataModel::fill(int count)
{
    for (int i = 1; i <= count; ++i) {
        m_item->appendReading(makeReading(QStringLiteral("%1").arg(i * 10),
                                          QStringLiteral("%1.00").arg(i),
                                          i % 2 ? QStringLiteral("Fe") : QStringLiteral("NFe"),
                                          m_time.addSecs(i - 1)),
                              true);
    }
}

void TestDataModel::headerData_data()
{
    QTest::addColumn<int>("section");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("expected");

    const int h = Qt::Horizontal;
    QTest::newRow("0") << 0 << h << int(Qt::DisplayRole) << QVariant("NO.");
    QTest::newRow("1") << 1 << h << int(Qt::DisplayRole) << QVariant("Time");
    QTest::newRow("2") << 2 << h << int(Qt::DisplayRole) << QVariant("Value");
    QTest::newRow("3") << 3 << h << int(Qt::DisplayRole) << QVariant("Unit");
    QTest::newRow("4") << 4 << h << int(Qt::DisplayRole) << QVariant("Basis");
    QTest::newRow("5") << 5 << h << int(Qt::DisplayRole) << QVariant();
    QTest::newRow("-1") << -1 << h << int(Qt::DisplayRole) << QVariant();
    QTest::newRow("vertical") << 0 << int(Qt::Vertical) << int(Qt::DisplayRole) << QVariant();
    QTest::newRow("tooltip") << 0 << h << int(Qt::ToolTipRole) << QVariant();
    QTest::newRow("alignment") << 0 << h << int(Qt::TextAlignmentRole) << QVariant();
}

void TestDataModel::headerData()
{
    QFETCH(int, section);
    QFETCH(int, orientation);
    QFETCH(int, role);
    QFETCH(QVariant, expected);

    fill(2);
    m_model->setReadings(m_item->readings());
    QCOMPARE(m_model->headerData(section, Qt::Orientation(orientation), role), expected);
}

void TestDataModel::cells_data()
{
    QTest::addColumn<bool>("withItem");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("expected");

    // A micrometre item shows micrometre texts although the readings were taken in mils.
    QTest::newRow("um row 1") << true << Micrometre << 0
                              << QStringList{"1", "2024-03-05 07:08:09", "10", Micrometre, "Fe"};
    QTest::newRow("um row 2") << true << Micrometre << 1
                              << QStringList{"2", "2024-03-05 07:08:10", "20", Micrometre, "NFe"};
    QTest::newRow("mil") << true << "mil" << 0
                         << QStringList{"1", "2024-03-05 07:08:09", "1.00", "mil", "Fe"};
    QTest::newRow("empty unit") << true << "" << 1
                                << QStringList{"2", "2024-03-05 07:08:10", "2.00", "", "NFe"};
    QTest::newRow("no item") << false << "" << 0
                             << QStringList{"1", "2024-03-05 07:08:09", "1.00", "", "Fe"};
}

void TestDataModel::cells()
{
    QFETCH(bool, withItem);
    QFETCH(QString, unit);
    QFETCH(int, row);
    QFETCH(QStringList, expected);

    fill(2);
    m_item->setUnit(unit);
    if (withItem)
        m_model->setItem(m_item.get());
    m_model->setReadings(m_item->readings());

    QCOMPARE(m_model->item(), withItem ? m_item.get() : nullptr);
    QCOMPARE(m_model->reading(row), m_item->readings().at(row));
    QCOMPARE(m_model->columnCount(), expected.size());
    QCOMPARE(m_model->rowCount(m_model->index(0, 0)), 0);
    for (int column = 0; column < expected.size(); ++column) {
        const QModelIndex index = m_model->index(row, column);
        QCOMPARE(index.data().toString(), expected.at(column));
        QCOMPARE(index.data(Qt::TextAlignmentRole), QVariant(int(Qt::AlignCenter)));
    }
}

void TestDataModel::numberIsAnInteger()
{
    fill(1);
    m_model->setReadings(m_item->readings());
    const QVariant number = m_model->index(0, 0).data();
    QCOMPARE(number.userType(), int(QMetaType::Int));
    QCOMPARE(number.toInt(), 1);
}

void TestDataModel::otherRolesHaveNoData_data()
{
    QTest::addColumn<int>("role");
    QTest::newRow("edit") << int(Qt::EditRole);
    QTest::newRow("tooltip") << int(Qt::ToolTipRole);
    QTest::newRow("font") << int(Qt::FontRole);
    QTest::newRow("foreground") << int(Qt::ForegroundRole);
    QTest::newRow("user") << int(Qt::UserRole);
}

void TestDataModel::otherRolesHaveNoData()
{
    QFETCH(int, role);
    fill(1);
    m_model->setItem(m_item.get());
    m_model->setReadings(m_item->readings());
    for (int column = 0; column < m_model->columnCount(); ++column)
        QVERIFY(!m_model->index(0, column).data(role).isValid());
}

void TestDataModel::outsideTheTableHasNoData_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::newRow("row == rowCount") << 2 << 0;
    QTest::newRow("column 5") << 0 << 5;
    QTest::newRow("both") << 2 << 5;
}

void TestDataModel::outsideTheTableHasNoData()
{
    QFETCH(int, row);
    QFETCH(int, column);
    fill(2);
    m_model->setItem(m_item.get());
    m_model->setReadings(m_item->readings());

    const QModelIndex outside = m_model->rawIndex(row, column);
    QVERIFY(!m_model->data(outside, Qt::DisplayRole).isValid());
    QVERIFY(!m_model->data(outside, Qt::TextAlignmentRole).isValid());
    QVERIFY(!m_model->data(QModelIndex(), Qt::DisplayRole).isValid());
    QVERIFY(!m_model->data(QModelIndex(), Qt::TextAlignmentRole).isValid());
    QCOMPARE(m_model->reading(row + column), nullptr);
}

void TestDataModel::cellsAreNotEditable()
{
    fill(1);
    m_model->setReadings(m_item->readings());
    const Qt::ItemFlags flags = m_model->index(0, 2).flags();
    QVERIFY(flags.testFlag(Qt::ItemIsSelectable));
    QVERIFY(flags.testFlag(Qt::ItemIsEnabled));
    QVERIFY(!flags.testFlag(Qt::ItemIsEditable));
    QVERIFY(!m_model->setData(m_model->index(0, 2), QStringLiteral("99")));
}

void TestDataModel::overloadShowsItsText()
{
    m_item->setUnit(Micrometre);
    m_item->appendReading(makeReading(QStringLiteral("    OL"), QStringLiteral("    OL"),
                                      QStringLiteral("Fe"), m_time),
                          true);
    m_item->appendReading(makeReading(QStringLiteral("   -OL"), QStringLiteral("   -OL"),
                                      QStringLiteral("Fe"), m_time),
                          true);
    m_model->setItem(m_item.get());
    m_model->setReadings(m_item->readings());
    QCOMPARE(m_model->index(0, 2).data().toString(), QStringLiteral("    OL"));
    QCOMPARE(m_model->index(1, 2).data().toString(), QStringLiteral("   -OL"));
}

enum Operation {
    AppendRow,
    SetReadingsEmpty,
    SetReadings,
    ClearRows,
    RemoveFirstTwo,
    RemovePastTheEnd,
    RemoveAtRowCount,
    RemoveNegativeRow,
    RemoveNothing,
    SetItem,
};

void TestDataModel::operations_data()
{
    QTest::addColumn<int>("initialRows");
    QTest::addColumn<int>("operation");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QList<int>>("remaining");

    using L = QList<int>;
    QTest::newRow("append to empty") << 0 << int(AppendRow) << QStringList{"+0-0"} << L{0};
    QTest::newRow("append to three") << 3 << int(AppendRow) << QStringList{"+3-3"} << L{0, 1, 2, 3};
    QTest::newRow("set none on empty") << 0 << int(SetReadingsEmpty) << QStringList{} << L{};
    QTest::newRow("set four on empty")
        << 0 << int(SetReadings) << QStringList{"+0-3"} << L{0, 1, 2, 3};
    QTest::newRow("clear empty") << 0 << int(ClearRows) << QStringList{} << L{};
    QTest::newRow("clear three") << 3 << int(ClearRows) << QStringList{"-0-2"} << L{};
    QTest::newRow("remove 0 and 1 of three")
        << 3 << int(RemoveFirstTwo) << QStringList{"-0-1"} << L{2};
    QTest::newRow("remove past the end")
        << 3 << int(RemovePastTheEnd) << QStringList{"-1-2"} << L{0};
    QTest::newRow("remove at rowCount")
        << 3 << int(RemoveAtRowCount) << QStringList{} << L{0, 1, 2};
    QTest::newRow("remove negative row")
        << 3 << int(RemoveNegativeRow) << QStringList{} << L{0, 1, 2};
    QTest::newRow("remove zero rows") << 3 << int(RemoveNothing) << QStringList{} << L{0, 1, 2};
    QTest::newRow("set item") << 3 << int(SetItem) << QStringList{} << L{0, 1, 2};
}

// "remaining" lists the indexes, in the item's list, of the readings left as rows; the item keeps
// every reading whatever the model does.
void TestDataModel::operations()
{
    QFETCH(int, initialRows);
    QFETCH(int, operation);
    QFETCH(QStringList, events);
    QFETCH(QList<int>, remaining);

    fill(4);
    const QList<DmmData *> readings = m_item->readings();
    m_model->setItem(m_item.get());
    for (int i = 0; i < initialRows; ++i)
        m_model->appendReadingRow(readings.at(i));

    // The number column renumbers the rows after a removed range; the tester expects the row
    // that follows a removal to keep its data, so it sits out removals from the middle.
    if (operation == RemoveFirstTwo)
        m_tester.reset();
    SignalLog log(m_model.get());
    switch (Operation(operation)) {
    case AppendRow:
        m_model->appendReadingRow(readings.at(initialRows));
        break;
    case SetReadingsEmpty:
        QCOMPARE(m_model->setReadings({}), 0);
        break;
    case SetReadings:
        QCOMPARE(m_model->setReadings(readings), 4);
        break;
    case ClearRows:
        m_model->clearRows();
        break;
    case RemoveFirstTwo:
        QVERIFY(m_model->removeRows(0, 2));
        break;
    case RemovePastTheEnd:
        QVERIFY(m_model->removeRows(1, 10));
        break;
    case RemoveAtRowCount:
        QVERIFY(!m_model->removeRows(initialRows, 1));
        break;
    case RemoveNegativeRow:
        QVERIFY(!m_model->removeRows(-1, 2));
        break;
    case RemoveNothing:
        QVERIFY(!m_model->removeRows(0, 0));
        break;
    case SetItem:
        m_model->setItem(nullptr);
        break;
    }

    QCOMPARE(log.events(), events);
    QCOMPARE(m_model->rowCount(), remaining.size());
    for (int row = 0; row < remaining.size(); ++row) {
        QCOMPARE(m_model->reading(row), readings.at(remaining.at(row)));
        QCOMPARE(m_model->index(row, 0).data().toInt(), row + 1);
    }
    QCOMPARE(m_item->readings(), readings);
}

// A spot is judged when its last reading arrives; the rows of its earlier readings change then.
void TestDataModel::completedSpotMarksItsEarlierRows()
{
    m_item->setUnit(Micrometre);
    CoatingRequirement requirement(QStringLiteral("sspcpa2"), QStringLiteral("\u03BCm"));
    requirement.setValue(QStringLiteral("minimum"), 100);
    requirement.setValue(QStringLiteral("maximum"), 200);
    m_item->setRequirement(requirement);
    m_model->setItem(m_item.get());
    SignalLog log(m_model.get());
    for (int i = 0; i < 3; ++i) {
        auto *reading = makeReading(QStringLiteral("60"), QStringLiteral("2.36"), "Fe", m_time);
        reading->setUmValue(60);
        m_item->appendReading(reading, true);
        m_model->appendReadingRow(reading);
        if (i < 2)
            QCOMPARE(m_model->index(i, 2).data(Qt::BackgroundRole), QVariant());
    }
    QCOMPARE(log.dataChanged.count(), 1);
    QCOMPARE(log.dataChanged.first().at(0).toModelIndex(), m_model->index(0, 0));
    QCOMPARE(log.dataChanged.first().at(1).toModelIndex(), m_model->index(1, 4));
    for (int row = 0; row < 3; ++row)
        QCOMPARE(m_model->index(row, 2).data(Qt::BackgroundRole).value<QBrush>().color().rgba(),
                 DataModel::OutOfLimitColor);
    m_item->setRequirement(CoatingRequirement());
    m_model->refreshMarks();
    QCOMPARE(log.dataChanged.count(), 2);
    QCOMPARE(m_model->index(0, 2).data(Qt::BackgroundRole), QVariant());
}

void TestDataModel::excludedRowsAreStruckThroughWithTheirReason()
{
    fill(3);
    m_model->setItem(m_item.get());
    m_model->setReadings(m_item->readings());
    SignalLog log(m_model.get());
    m_item->setExcluded({1}, QStringLiteral("On a weld or edge"));
    m_model->refreshExclusions(1, 1);
    QCOMPARE(log.dataChanged.count(), 1);
    QCOMPARE(log.dataChanged.first().at(0).toModelIndex(), m_model->index(1, 0));
    QCOMPARE(log.dataChanged.first().at(1).toModelIndex(), m_model->index(1, 4));
    for (int column = 0; column < m_model->columnCount(); ++column) {
        const QModelIndex excluded = m_model->index(1, column);
        QVERIFY(excluded.data(Qt::FontRole).value<QFont>().strikeOut());
        QCOMPARE(excluded.data(Qt::ForegroundRole).value<QBrush>().color().rgba(),
                 DataModel::ExcludedColor);
        QCOMPARE(excluded.data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Excluded: On a weld or edge"));
        // The reading is still shown as it was taken.
        QCOMPARE(m_model->index(1, 2).data().toString(), QStringLiteral("2.00"));
        for (int row : {0, 2}) {
            for (int role : {Qt::FontRole, Qt::ForegroundRole, Qt::ToolTipRole})
                QVERIFY(!m_model->index(row, column).data(role).isValid());
        }
    }
    m_item->setExcluded({1}, QString());
    QVERIFY(!m_model->index(1, 0).data(Qt::FontRole).isValid());
}

QTEST_GUILESS_MAIN(TestDataModel)
#include "tst_datamodel.moc"
