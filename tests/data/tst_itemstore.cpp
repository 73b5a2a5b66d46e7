#include <memory>

#include <QPointer>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

#include "coatingrequirement.h"
#include "dmmdata.h"
#include "igaugerange.h"
#include "itemstore.h"
#include "itemtree.h"
#include "tvitemmodel.h"

namespace {
const QString Micrometre = QStringLiteral("\u03BCm");
const double Range = IGaugeRange::DefaultRangeUm;

DmmData *makeReading(double umValue, const QString &unit = Micrometre)
{
    auto *reading = new DmmData;
    reading->setUmValue(umValue);
    reading->setMilValue(umValue / 25.4);
    reading->setUnit(unit);
    return reading;
}

// Every signal of the store, in the order they came, as "signal:item name".
class SignalLog : public QObject
{
public:
    explicit SignalLog(ItemStore *store)
    {
        const auto log = [this](const char *name) {
            return [this, name](ItemData *item) {
                entries << QStringLiteral("%1:%2").arg(QLatin1String(name),
                                                       item ? item->name() : QStringLiteral("-"));
            };
        };
        connect(store, &ItemStore::itemAdded, this, log("added"));
        connect(store, &ItemStore::renamed, this, log("renamed"));
        connect(store, &ItemStore::requirementChanged, this, log("requirement"));
        connect(store, &ItemStore::unitChanged, this, log("unit"));
        connect(store, &ItemStore::rangeChanged, this, log("range"));
        connect(store, &ItemStore::itemRemoved, this, log("removed"));
        connect(store, &ItemStore::activating, this, log("activating"));
        connect(store, &ItemStore::activeChanged, this, log("active"));
        connect(store, &ItemStore::readingsCleared, this, log("cleared"));
        connect(store, &ItemStore::settingAside, this, log("settingAside"));
        connect(store, &ItemStore::readingsSetAside, this, log("setAside"));
        connect(store, &ItemStore::asideDropped, this, log("asideDropped"));
        connect(store, &ItemStore::asideRestored, this, log("asideRestored"));
        connect(store, &ItemStore::readingHeld, this,
                [this](ItemData *item) { entries << QStringLiteral("held:%1").arg(item->name()); });
        connect(
            store, &ItemStore::readingsAppended, this,
            [this](ItemData *item, int first, int count) {
                entries
                    << QStringLiteral("appended:%1:%2+%3").arg(item->name()).arg(first).arg(count);
            });
        connect(store, &ItemStore::exclusionsChanged, this,
                [this](ItemData *item, const QVector<int> &indexes, int firstEvent) {
                    QStringList numbers;
                    for (int index : indexes)
                        numbers << QString::number(index);
                    entries << QStringLiteral("excluded:%1:%2@%3")
                                   .arg(item->name(), numbers.join(QLatin1Char(',')))
                                   .arg(firstEvent);
                });
    }
    QStringList entries;
};
} // namespace

class TestItemStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void commandsAnnounceThemselves_data();
    void commandsAnnounceThemselves();
    void removalDeletesTheItemAndItsReadings();
    void oneReadingAndABatchGiveTheSameStatistics();
    void nextName_data();
    void nextName();
    void treeFollowsTheStore();
    void rowKindsDecideTheActions();

private:
    std::unique_ptr<ItemStore> store;
    std::unique_ptr<SignalLog> log;
};

void TestItemStore::init()
{
    store = std::make_unique<ItemStore>();
    log = std::make_unique<SignalLog>(store.get());
}

void TestItemStore::cleanup()
{
    log.reset();
    store.reset();
}

void TestItemStore::commandsAnnounceThemselves_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("add") << "add" << QStringList{"added:B"};
    QTest::newRow("activate: readings first, then the views")
        << "activate" << QStringList{"activating:A", "active:A"};
    QTest::newRow("activating the active item again") << "activate twice" << QStringList();
    QTest::newRow("the live group is never active") << "activate group" << QStringList();
    QTest::newRow("rename") << "rename" << QStringList{"renamed:C"};
    QTest::newRow("requirement") << "requirement" << QStringList{"requirement:A"};
    QTest::newRow("a reading in the item's unit") << "append" << QStringList{"appended:A:0+1"};
    QTest::newRow("a reading in another unit: the unit first")
        << "append mil" << QStringList{"unit:A", "appended:A:0+1"};
    QTest::newRow("a batch") << "append batch" << QStringList{"appended:A:0+3"};
    QTest::newRow("a reading of a gauge with another range: the range first")
        << "append range" << QStringList{"range:A", "appended:A:0+1"};
    QTest::newRow("a batch of a gauge with another range")
        << "append batch range" << QStringList{"range:A", "appended:A:0+2"};
    QTest::newRow("clear") << "clear" << QStringList{"cleared:A"};
    QTest::newRow("remove the active item: nothing is active before it goes")
        << "remove active" << QStringList{"active:-", "removed:A"};
    QTest::newRow("remove another item") << "remove other" << QStringList{"removed:A"};
    QTest::newRow("set aside: readings in first, the views emptied last")
        << "set aside" << QStringList{"settingAside:A", "setAside:A", "cleared:A"};
    QTest::newRow("set aside twice: the earlier aside goes")
        << "set aside twice"
        << QStringList{"asideDropped:A", "settingAside:A", "setAside:A", "cleared:A"};
    QTest::newRow("drop aside") << "drop aside" << QStringList{"asideDropped:A"};
    QTest::newRow("restore aside: new readings out, then the earlier back")
        << "restore aside" << QStringList{"cleared:A", "asideRestored:A", "appended:A:0+2"};
    QTest::newRow("nothing aside: nothing to drop or restore") << "nothing aside" << QStringList();
    QTest::newRow("aside kept elsewhere while loading: the load ends, the keeper restores")
        << "aside elsewhere"
        << QStringList{"settingAside:A", "setAside:A", "cleared:A", "cleared:A", "asideRestored:A"};
    QTest::newRow("exclude: readings outside the item passed over")
        << "exclude" << QStringList{"excluded:A:2,0@0"};
    QTest::newRow("exclude again for the same reason: nothing changes")
        << "exclude twice" << QStringList{"excluded:A:2,0@0"};
    QTest::newRow("include again: only the excluded ones, trail goes on")
        << "include" << QStringList{"excluded:A:2,0@0", "excluded:A:0@2"};
    QTest::newRow("a load: a reading appended meanwhile follows the loaded ones")
        << "load" << QStringList{"held:A", "appended:A:0+1", "appended:A:1+2", "appended:A:3+1"};
    QTest::newRow("removed while loading: the reading held goes with it")
        << "remove loading" << QStringList{"held:A", "active:-", "removed:A"};
    QTest::newRow("team item: every change refused") << "team change" << QStringList();
    QTest::newRow("team item: the server's readings received")
        << "team receive" << QStringList{"appended:T:0+2"};
    QTest::newRow("team item: received from the start again, replaced")
        << "team receive again" << QStringList{"appended:T:0+2", "cleared:T", "appended:T:0+1"};
    QTest::newRow("team item: the server's exclusions, only changes announced")
        << "team receive exclusions" << QStringList{"appended:T:0+2", "excluded:T:0,1@0"};
    QTest::newRow("team item: a part that leaves a gap refused")
        << "team receive gap" << QStringList{"appended:T:0+2"};
    QTest::newRow("local item: nothing received") << "team receive local" << QStringList();
    QTest::newRow("team item: the server's name and requirement")
        << "team details" << QStringList{"renamed:U", "requirement:U"};
    QTest::newRow("team item gone from the server: inactive first")
        << "team release" << QStringList{"active:-", "removed:T"};
}

void TestItemStore::commandsAnnounceThemselves()
{
    QFETCH(QString, command);
    QFETCH(QStringList, expected);
    ItemData *a = store->add(QStringLiteral("A"), ItemData::MeasureData);
    store->activate(a);
    store->setRequirement(a, CoatingRequirement());
    // Each row starts from an active, micrometre item "A" with no readings.
    log->entries.clear();
    if (command == QLatin1String("add")) {
        store->add(QStringLiteral("B"), ItemData::ImportData);
    } else if (command == QLatin1String("activate")) {
        store->activate(store->storeData());
        log->entries.clear();
        store->activate(a);
    } else if (command == QLatin1String("activate twice")) {
        store->activate(a);
    } else if (command == QLatin1String("activate group")) {
        store->activate(store->liveGroup());
    } else if (command == QLatin1String("rename")) {
        store->rename(a, QStringLiteral("C"));
    } else if (command == QLatin1String("requirement")) {
        store->setRequirement(a, CoatingRequirement());
    } else if (command == QLatin1String("append")) {
        store->append(a, makeReading(100), Micrometre, Range);
    } else if (command == QLatin1String("append mil")) {
        store->append(a, makeReading(100, QStringLiteral("mil")), QStringLiteral("mil"), Range);
    } else if (command == QLatin1String("append batch")) {
        store->append(a, {makeReading(1), makeReading(2), makeReading(3)}, Micrometre, Range);
    } else if (command == QLatin1String("append range")) {
        store->append(a, makeReading(1300), Micrometre, 5000);
        QCOMPARE(a->rangeUm(), 5000.0);
        QCOMPARE(a->statistics()->max, QStringLiteral("1300.0"));
    } else if (command == QLatin1String("append batch range")) {
        store->append(a, {makeReading(1300), makeReading(5001)}, Micrometre, 5000);
        QCOMPARE(a->statistics()->max, QStringLiteral(" OL"));
    } else if (command == QLatin1String("clear")) {
        store->clear(a);
    } else if (command == QLatin1String("remove active")) {
        store->remove(a);
        QCOMPARE(store->active(), nullptr);
    } else if (command == QLatin1String("remove other")) {
        store->activate(store->storeData());
        log->entries.clear();
        store->remove(a);
    } else if (command.startsWith(QLatin1String("exclude")) || command == "include") {
        store->append(a, {makeReading(1), makeReading(2), makeReading(3)}, Micrometre, Range);
        log->entries.clear();
        store->setExcluded(a, {2, 0, 3, -1}, QStringLiteral("Wrong part"));
        if (command == QLatin1String("exclude twice"))
            store->setExcluded(a, {0, 2}, QStringLiteral("Wrong part"));
        if (command == QLatin1String("include"))
            store->setExcluded(a, {0, 1}, QString());
        QCOMPARE(a->statistics()->num, 3);
        QVERIFY(!store->who().isEmpty());
        QCOMPARE(a->exclusionTrail().constLast().who, store->who());
        // The inspector of the job details, when set, is who excludes.
        JobDetails job;
        job.setValue(JobDetails::Inspector, QStringLiteral(" A. Inspector "));
        store->setJobDetails(job);
        QCOMPARE(store->who(), QStringLiteral("A. Inspector"));
    } else if (command == QLatin1String("load")) {
        store->startLoading(a, 3);
        store->append(a, makeReading(3), Micrometre, Range);
        store->appendLoaded(a, {makeReading(1)}, {});
        // Loaded readings keep their exclusion.
        store->appendLoaded(a, {makeReading(2), makeReading(9)},
                            {QString(), QStringLiteral("Wrong part")});
        QVERIFY(store->isLoading(a));
        store->finishLoading(a);
        QVERIFY(!store->isLoading(a));
        QList<double> values;
        for (const DmmData *reading : a->readings())
            values << reading->umValue();
        QCOMPARE(values, QList<double>({1, 2, 9, 3}));
        QCOMPARE(a->statistics()->num, 4);
        QCOMPARE(a->statistics()->excluded, 1);
        QCOMPARE(a->statistics()->max, QStringLiteral("3.0"));
    } else if (command == QLatin1String("remove loading")) {
        store->startLoading(a, 2);
        store->append(a, makeReading(3), Micrometre, Range);
        store->remove(a);
    } else if (command.startsWith(QLatin1String("team"))) {
        ItemData team(QStringLiteral("T"), ItemData::TeamData);
        if (command == QLatin1String("team change")) {
            store->rename(&team, QStringLiteral("C"));
            store->setRequirement(&team, CoatingRequirement(QStringLiteral("limits"), Micrometre));
            store->setNotes(&team, {QStringLiteral("note"), {}});
            store->append(&team, makeReading(1), Micrometre, Range);
            store->append(&team, {makeReading(1), makeReading(2)}, Micrometre, Range);
            store->clear(&team);
            store->setExcluded(&team, {0}, QStringLiteral("Wrong part"));
            store->setAside(&team);
            QCOMPARE(team.name(), QStringLiteral("T"));
            QCOMPARE(team.readings().size(), 0);
        } else if (command == QLatin1String("team receive local")) {
            QVERIFY(!store->receive(a, 0, {makeReading(1)}, {QString()}));
            QCOMPARE(a->readings().size(), 0);
        } else if (command == QLatin1String("team details")) {
            store->receiveDetails(&team, QStringLiteral("U"),
                                  CoatingRequirement(QStringLiteral("limits"), Micrometre));
            store->receiveDetails(&team, QStringLiteral("U"),
                                  CoatingRequirement(QStringLiteral("limits"), Micrometre));
        } else if (command == QLatin1String("team release")) {
            store->activate(&team);
            log->entries.clear();
            store->release(&team);
            QCOMPARE(store->active(), nullptr);
        } else {
            // The second one excluded by the colleague.
            QVERIFY(store->receive(&team, 0, {makeReading(1), makeReading(2)},
                                   {QString(), QStringLiteral("Wrong part")}));
            if (command == QLatin1String("team receive again"))
                QVERIFY(store->receive(&team, 0, {makeReading(3)}, {QString()}));
            if (command == QLatin1String("team receive gap"))
                QVERIFY(!store->receive(&team, 3, {makeReading(3)}, {QString()}));
            if (command == QLatin1String("team receive exclusions")) {
                store->receiveExclusions(&team, {QStringLiteral("Edited")});
                store->receiveExclusions(&team, {QStringLiteral("Edited"), QString()});
                QCOMPARE(team.exclusionReason(0), QStringLiteral("Edited"));
            }
            QCOMPARE(team.statistics()->num,
                     command == QLatin1String("team receive again") ? 1 : 2);
            QCOMPARE(team.excludedCount(), command == QLatin1String("team receive again") ? 0 : 1);
        }
    } else if (command == QLatin1String("aside elsewhere")) {
        store->startLoading(a, 5);
        store->appendLoaded(a, {makeReading(1)}, {});
        store->append(a, makeReading(3), Micrometre, Range);
        connect(store.get(), &ItemStore::readingsSetAside, this,
                [this](ItemData *item) { store->keepAsideElsewhere(item, 6); });
        QSignalSpy progress(store.get(), &ItemStore::loadProgress);
        log->entries.clear();
        store->setAside(a);
        QVERIFY(!store->isLoading(a));
        QCOMPARE(progress.last().at(2).toInt(), 0);
        QCOMPARE(store->asideCount(a), 6);
        store->restoreAside(a);
        QCOMPARE(a->readings().size(), 0);
        QCOMPARE(store->asideCount(a), 0);
    } else if (command.contains(QLatin1String("aside"))) {
        // Two readings, the second excluded, and unless nothing is to be aside, a replacement of
        // one under way.
        store->append(a, {makeReading(1), makeReading(2)}, Micrometre, Range);
        store->setExcluded(a, {1}, QStringLiteral("Probe lifted or tilted"));
        if (command != QLatin1String("set aside") && command != QLatin1String("nothing aside")) {
            store->setAside(a);
            store->append(a, makeReading(3), Micrometre, Range);
        }
        log->entries.clear();
        if (command.startsWith(QLatin1String("set aside"))) {
            store->setAside(a);
        } else if (command == QLatin1String("drop aside")) {
            store->dropAside(a);
        } else {
            store->restoreAside(a);
            store->dropAside(a);
        }
        // Readings in the item, and aside.
        const QHash<QString, QPair<int, int>> left{{"set aside", {0, 2}},
                                                   {"set aside twice", {0, 1}},
                                                   {"drop aside", {1, 0}},
                                                   {"restore aside", {2, 0}},
                                                   {"nothing aside", {2, 0}}};
        QCOMPARE(a->readings().size(), left.value(command).first);
        QCOMPARE(store->asideCount(a), left.value(command).second);
        // The exclusions and their trail go aside with the readings and come back with them.
        const bool earlier = a->readings().size() == 2;
        QCOMPARE(a->isExcluded(1), earlier);
        QCOMPARE(a->exclusionTrail().size(), earlier ? 1 : 0);
        QCOMPARE(a->statistics()->excluded, earlier ? 1 : 0);
    }
    QCOMPARE(log->entries, expected);
}

void TestItemStore::removalDeletesTheItemAndItsReadings()
{
    ItemData *item = store->add(QStringLiteral("A"), ItemData::MeasureData);
    QPointer<ItemData> watched(item);
    store->append(item, makeReading(10), Micrometre, Range);
    store->remove(item);
    QVERIFY(watched.isNull());
    QVERIFY(store->items().isEmpty());
    // The two fixed items cannot be removed.
    store->remove(store->storeData());
    QVERIFY(store->storeData());
    QVERIFY(log->entries.filter(QStringLiteral("removed:Store")).isEmpty());
}

void TestItemStore::oneReadingAndABatchGiveTheSameStatistics()
{
    ItemData *single = store->add(QStringLiteral("single"), ItemData::MeasureData);
    ItemData *batch = store->add(QStringLiteral("batch"), ItemData::ImportData);
    QList<DmmData *> readings;
    for (double value : {120.0, 95.5, 130.25, 101.0}) {
        store->append(single, makeReading(value), Micrometre, Range);
        readings << makeReading(value);
    }
    store->append(batch, readings, Micrometre, Range);
    const StatData *a = single->statistics();
    const StatData *b = batch->statistics();
    QCOMPARE(QStringList({QString::number(a->num), a->avg, a->min, a->max, a->sd, a->cv}),
             QStringList({QString::number(b->num), b->avg, b->min, b->max, b->sd, b->cv}));
    QCOMPARE(a->avg, QStringLiteral("111.7"));
}

void TestItemStore::nextName_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("expected");

    QTest::newRow("Measure") << "Measure"
                             << "Measure4";
    QTest::newRow("case-sensitive") << "measure"
                                    << "measure2";
    // A count, not the highest number: with Import1 and Import3, Import3 again.
    QTest::newRow("count of names") << "Import"
                                    << "Import3";
    QTest::newRow("Store Data") << "Store"
                                << "Store2";
    QTest::newRow("whole name") << "Measure10"
                                << "Measure102";
    QTest::newRow("no match") << "Export"
                              << "Export1";
}

void TestItemStore::nextName()
{
    QFETCH(QString, prefix);
    QFETCH(QString, expected);
    for (const char *name : {"Measure10", "Import1", "measure2", "Measure2", "Import3", "Measure"})
        store->add(QLatin1String(name), ItemData::MeasureData);
    QCOMPARE(store->nextName(prefix), expected);
}

void TestItemStore::treeFollowsTheStore()
{
    QTreeView view;
    ItemTree tree(&view, store.get(), nullptr);
    QAbstractItemModelTester tester(tree.model());
    ItemData *a = store->add(QStringLiteral("Measure1"), ItemData::MeasureData);
    ItemData *b = store->add(QStringLiteral("Measure2"), ItemData::MeasureData);
    store->activate(b);
    QCOMPARE(tree.indexOf(b).data(TvItemModel::ActiveRole), QVariant(true));
    QCOMPARE(view.currentIndex(), tree.indexOf(b));
    QCOMPARE(tree.indexOf(a).data(TvItemModel::ActiveRole), QVariant(false));

    store->rename(a, QStringLiteral("Coat"));
    QCOMPARE(tree.indexOf(a).data(Qt::DisplayRole), QVariant(QStringLiteral("Coat")));

    store->remove(b);
    QVERIFY(!tree.indexOf(b).isValid());
    QCOMPARE(tree.model()->rowCount(tree.indexOf(store->liveGroup())), 1);
    QCOMPARE(tree.indexOf(a).parent(), tree.indexOf(store->liveGroup()));

    // The team's items under their inspector and job; groups go with their last item.
    tree.showTeam(true);
    ItemData t(QStringLiteral("Deck"), ItemData::TeamData);
    ItemData u(QStringLiteral("Hull"), ItemData::TeamData);
    tree.addTeamItem(&t, QStringLiteral("bob"), QString());
    tree.addTeamItem(&u, QStringLiteral("bob"), QStringLiteral("Bridge"));
    const QModelIndex team = tree.model()->index(2, 0);
    QCOMPARE(team.data().toString(), QStringLiteral("Team"));
    QCOMPARE(tree.indexOf(&t).parent().data().toString(), QStringLiteral("No job"));
    QCOMPARE(tree.indexOf(&u).parent().parent(), tree.indexOf(&t).parent().parent());
    store->activate(&u);
    QCOMPARE(tree.indexOf(&u).data(TvItemModel::ActiveRole), QVariant(true));
    QCOMPARE(tree.indexOf(a).data(TvItemModel::ActiveRole), QVariant(false));
    store->release(&t);
    QCOMPARE(tree.model()->rowCount(tree.indexOf(&u).parent().parent()), 1);
    store->release(&u);
    QCOMPARE(tree.model()->rowCount(team), 0);
    tree.showTeam(false);
    QCOMPARE(tree.model()->rowCount(), 2);
}

void TestItemStore::rowKindsDecideTheActions()
{
    QTreeView view;
    ItemTree tree(&view, store.get(), nullptr);
    ItemData *item = store->add(QStringLiteral("Measure1"), ItemData::MeasureData);
    QCOMPARE(tree.kindOf(tree.indexOf(store->storeData())), ItemTree::RowKind::StoreData);
    QCOMPARE(tree.kindOf(tree.indexOf(store->liveGroup())), ItemTree::RowKind::LiveGroup);
    QCOMPARE(tree.kindOf(tree.indexOf(item)), ItemTree::RowKind::Item);
    QCOMPARE(tree.kindOf(QModelIndex()), ItemTree::RowKind::None);
    tree.showTeam(true);
    ItemData team(QStringLiteral("Deck"), ItemData::TeamData);
    tree.addTeamItem(&team, QStringLiteral("bob"), QStringLiteral("Bridge"));
    QCOMPARE(tree.kindOf(tree.indexOf(&team)), ItemTree::RowKind::TeamItem);
    QCOMPARE(tree.kindOf(tree.indexOf(&team).parent()), ItemTree::RowKind::TeamGroup);
    QCOMPARE(tree.kindOf(tree.model()->index(2, 0)), ItemTree::RowKind::TeamGroup);
    store->release(&team);
}

QTEST_MAIN(TestItemStore)
#include "tst_itemstore.moc"
