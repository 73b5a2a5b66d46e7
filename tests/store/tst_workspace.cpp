#include <ctime>
#include <memory>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QLockFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include "dmmdata.h"
#include "igaugerange.h"
#include "iso19840rule.h"
#include "itemdata.h"
#include "itemstore.h"
#include "otherconnection.h"
#include "storedrequirement.h"
#include "workspace.h"
#include "workspaceconnection.h"
#include "workspaceschema.h"

namespace {
const QString Micrometre = QStringLiteral("\u03BCm");

struct Fields
{
    QDateTime time;
    double um;
    double mil;
    QString umText;
    QString milText;
    int overload;
    QString unit;
    QString basis;
};

DmmData *makeReading(const Fields &f)
{
    auto *reading = new DmmData;
    reading->setTime(f.time);
    reading->setUmValue(f.um);
    reading->setMilValue(f.mil);
    reading->setUmText(f.umText);
    reading->setMilText(f.milText);
    reading->setOverload(f.overload);
    reading->setUnit(f.unit);
    reading->setBasis(f.basis);
    return reading;
}

Fields fieldsOf(double um, const QDateTime &time = QDateTime::currentDateTime())
{
    return {time,
            um,
            um / 25.4,
            QString::number(um, 'f', 0),
            QString::number(um / 25.4, 'f', 2),
            0,
            Micrometre,
            QStringLiteral("Fe")};
}

DmmData *makeReading(double um)
{
    return makeReading(fieldsOf(um));
}

QDateTime localFromUtc(const QString &utc)
{
    QDateTime time = QDateTime::fromString(utc, Qt::ISODate);
    time.setTimeSpec(Qt::UTC);
    return time.toLocalTime();
}

QByteArray fileHash(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// A requirement of the rule with these values; the other fields keep their initial values.
CoatingRequirement requirementOf(const QString &rule, const QString &unit,
                                 const QList<QPair<QString, double>> &values = {})
{
    CoatingRequirement r(rule, unit);
    for (const auto &value : values)
        r.setValue(value.first, value.second);
    return r;
}

// A valid SSPC-PA 2 requirement as the workspace stores it; damaged texts are made from it.
const QString StoredSspc = QStringLiteral(
    "rule=sspcpa2;unit=\u03BCm;hasNominal=1;nominal=150;minimum=100;hasMaximum=1;maximum=200;"
    "roughness=0;readingsPerSpot=3;spotsPerArea=5;spotLowerPercent=80;spotUpperPercent=120");

// Every field filled, the multi-line ones over several lines, in scripts written right to left and
// in CJK, with a logo.
JobDetails everyJobDetail()
{
    JobDetails details;
    for (int field = 0; field < JobDetails::FieldCount; ++field) {
        const auto f = static_cast<JobDetails::Field>(field);
        details.setValue(f, JobDetails::isMultiLine(f)
                                ? QStringLiteral("%1\nموقع אתר\n"
                                                 "塗装検査")
                                      .arg(field)
                                : QStringLiteral("%1 Škoda 測定").arg(field));
    }
    details.setLogo(QByteArray("\x89PNG\r\n\x1a\n\0logo", 13));
    return details;
}

ItemNotes notesWithPhotos(const QString &text, int photos)
{
    ItemNotes notes{text, {}};
    for (int n = 0; n < photos; ++n)
        notes.photos.append({QStringLiteral("photo %1.jpg").arg(n), QByteArray(1000 + n, char(n))});
    return notes;
}

} // namespace

Q_DECLARE_METATYPE(Fields)
Q_DECLARE_METATYPE(CoatingRequirement)

class TestWorkspace : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newWorkspaceHoldsOnlyTheStoreItem();
    void keepsEveryField_data();
    void keepsEveryField();
    void keepsOrderNamesUnitsAndActiveItem();
    void keepsClearedAndRemovedItems();
    void followsTheItemStore();
    void readingsSetAsideOutliveTheLogger_data();
    void readingsSetAsideOutliveTheLogger();
    void commitsWithinTheDelay();
    void restoredItemsReadTheirReadingsOnActivation();
    void upgradesEveryStepInOrder();
    void keepsRequirement_data();
    void keepsRequirement();
    void damagedRequirementIsNotApplied_data();
    void damagedRequirementIsNotApplied();
    void storedText_data();
    void storedText();
    void upgradesInPlace_data();
    void upgradesInPlace();
    void damagedFileIsMovedAside_data();
    void damagedFileIsMovedAside();
    void newerWorkspaceIsLeftUntouched();
    void unwritableFolderRunsInMemory();
    void workspaceInUseRunsInMemory();
    void failedCommitKeepsReadingsInMemory();

private:
    // Opens path (the test's workspace by default) and restores it into the members below.
    void reopen(const QString &path = QString());
    void close();
    // Opens the workspace as the window does: following items, which adopt what is restored.
    void openFollowing(ItemStore &items);

    std::unique_ptr<QTemporaryDir> dir;
    QString path;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<ItemData> store;
    QList<ItemData *> items;
    ItemData *active = nullptr;
};

void TestWorkspace::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    path = dir->filePath(QStringLiteral("workspace.sqlite"));
}

void TestWorkspace::cleanup()
{
    close();
    dir.reset();
}

void TestWorkspace::reopen(const QString &at)
{
    close();
    workspace = std::make_unique<Workspace>();
    workspace->open(at.isEmpty() ? path : at);
    store = std::make_unique<ItemData>(QStringLiteral("Store Data"), ItemData::StoreData);
    items = workspace->restore(store.get(), &active);
}

void TestWorkspace::close()
{
    workspace.reset();
    qDeleteAll(items);
    items.clear();
    store.reset();
    active = nullptr;
}

void TestWorkspace::newWorkspaceHoldsOnlyTheStoreItem()
{
    reopen();
    QVERIFY(workspace->isSaving());
    QVERIFY(items.isEmpty());
    QVERIFY(!active);
    reopen();
    QVERIFY(items.isEmpty());
    const OtherConnection other(path);
    QCOMPARE(other.value(QStringLiteral("SELECT COUNT(*) FROM item")).toInt(), 1);
    QCOMPARE(other.value(QStringLiteral("SELECT kind FROM item")).toInt(),
             int(ItemData::StoreData));
}

void TestWorkspace::keepsEveryField_data()
{
    QTest::addColumn<QString>("itemName");
    QTest::addColumn<int>("expectedOffset");
    QTest::addColumn<QList<Fields>>("readings");

    const QDateTime noon = localFromUtc(QStringLiteral("2026-06-01T10:00:00"));
    QTest::newRow("micrometres") << QStringLiteral("Measure1") << 7200
                                 << QList<Fields>{
                                        Fields{noon, 125, 125 / 25.4, QStringLiteral("125"),
                                               QStringLiteral("4.92"), 0, Micrometre, "Fe"}};
    QTest::newRow("mils") << QStringLiteral("Measure2") << 7200
                          << QList<Fields>{Fields{noon, 4.9 * 25.4, 4.9, QStringLiteral("124"),
                                                  QStringLiteral("4.90"), 0, QStringLiteral("mil"),
                                                  "NFe"}};
    QTest::newRow("over range both ways")
        << QStringLiteral("Measure3") << 7200
        << QList<Fields>{Fields{noon, 0, 0, QStringLiteral("    OL"), QStringLiteral("    OL"), 1,
                                Micrometre, "Fe"},
                         Fields{noon, 0, 0, QStringLiteral("   -OL"), QStringLiteral("   -OL"), -1,
                                Micrometre, "Fe"}};
    QTest::newRow("non-ASCII texts")
        << QStringLiteral("Brücke Nord – Träger 3 ✓ 橋") << 7200
        << QList<Fields>{Fields{noon, 1e-300, 1.0 / 3.0, QStringLiteral("μ ½"), QString(), 0,
                                QStringLiteral("Μm"), QStringLiteral("Fe ➜ ÖL")}};
    QTest::newRow("no time") << QStringLiteral("Measure4") << 0
                             << QList<Fields>{Fields{QDateTime(), 10, 0.39, QStringLiteral("10"),
                                                     QStringLiteral("0.39"), 0, Micrometre, "Fe"}};
    // Europe/Berlin: summer time begins at 01:00 UTC on 29 March and ends at 01:00 UTC on
    // 25 October 2026, when 02:30 comes twice.
    QTest::newRow("spring forward")
        << QStringLiteral("Measure5") << 3600
        << QList<Fields>{fieldsOf(120, localFromUtc(QStringLiteral("2026-03-29T00:59:59"))),
                         fieldsOf(121, localFromUtc(QStringLiteral("2026-03-29T01:00:00")))};
    QTest::newRow("fall back")
        << QStringLiteral("Measure6") << 7200
        << QList<Fields>{fieldsOf(120, localFromUtc(QStringLiteral("2026-10-25T00:30:00"))),
                         fieldsOf(121, localFromUtc(QStringLiteral("2026-10-25T01:30:00")))};
}

void TestWorkspace::keepsEveryField()
{
    QFETCH(QString, itemName);
    QFETCH(int, expectedOffset);
    QFETCH(QList<Fields>, readings);

    if (readings.first().time.isValid())
        QCOMPARE(readings.first().time.offsetFromUtc(), expectedOffset);
    reopen();
    auto *item = new ItemData(itemName, ItemData::ImportData);
    items.append(item);
    workspace->itemAdded(item);
    for (const Fields &fields : readings)
        item->appendReading(makeReading(fields), true);
    item->setUnit(readings.last().unit);
    workspace->itemChanged(item);

    reopen();
    QCOMPARE(items.size(), 1);
    ItemData *restored = items.first();
    QCOMPARE(restored->name(), itemName);
    QCOMPARE(restored->dataType(), ItemData::ImportData);
    QCOMPARE(restored->unit(), readings.last().unit);
    workspace->itemActivated(restored);
    const QList<DmmData *> back = restored->readings();
    QCOMPARE(back.size(), readings.size());

    for (int i = 0; i < back.size(); ++i) {
        const Fields &was = readings.at(i);
        const DmmData *is = back.at(i);
        QCOMPARE(is->time().isValid(), was.time.isValid());
        if (was.time.isValid()) {
            QCOMPARE(is->time().toMSecsSinceEpoch(), was.time.toMSecsSinceEpoch());
            QCOMPARE(is->time().offsetFromUtc(), was.time.offsetFromUtc());
            QCOMPARE(is->time().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")),
                     was.time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")));
        }
        QCOMPARE(is->umValue(), was.um);
        QCOMPARE(is->milValue(), was.mil);
        QCOMPARE(is->umText(), was.umText);
        QCOMPARE(is->milText(), was.milText);
        QCOMPARE(is->overload(), was.overload);
        QCOMPARE(is->unit(), was.unit);
        QCOMPARE(is->basis(), was.basis);
    }
}

void TestWorkspace::keepsOrderNamesUnitsAndActiveItem()
{
    reopen();
    for (const char *name : {"A", "B", "C", "D"}) {
        items.append(new ItemData(QLatin1String(name), ItemData::MeasureData));
        workspace->itemAdded(items.last());
    }
    workspace->itemRemoved(items.at(1));
    delete items.takeAt(1);
    items.at(1)->setName(QStringLiteral("Čepelín"));
    items.at(1)->setUnit(QStringLiteral("mil"));
    workspace->itemChanged(items.at(1));
    workspace->itemActivated(items.at(2));
    workspace->itemActivated(items.at(1));

    reopen();
    QStringList names;
    for (const ItemData *item : qAsConst(items))
        names << item->name();
    QCOMPARE(names, QStringList({"A", "Čepelín", "D"}));
    QCOMPARE(items.at(1)->unit(), QStringLiteral("mil"));
    QCOMPARE(active, items.at(1));

    workspace->itemActivated(store.get());
    reopen();
    QCOMPARE(active, store.get());
}

void TestWorkspace::keepsClearedAndRemovedItems()
{
    reopen();
    for (int i = 0; i < 5; ++i)
        store->appendReading(makeReading(100 + i), true);
    workspace->itemChanged(store.get());
    auto *removed = new ItemData(QStringLiteral("gone"), ItemData::MeasureData);
    workspace->itemAdded(removed);
    removed->appendReading(makeReading(1), true);
    workspace->itemChanged(removed);

    reopen();
    QVERIFY(items.size() == 1);
    workspace->itemActivated(store.get());
    QCOMPARE(store->readings().size(), 5);
    QCOMPARE(store->statistics()->num, 5);
    store->clearReadings();
    workspace->readingsCleared(store.get());
    store->appendReading(makeReading(7), true);
    workspace->itemChanged(store.get());
    workspace->itemRemoved(items.first());
    delete removed;

    reopen();
    QVERIFY(items.isEmpty());
    workspace->itemActivated(store.get());
    QCOMPARE(store->readings().size(), 1);
    QCOMPARE(store->readings().first()->umValue(), 7.0);
    workspace->commit();
    QCOMPARE(OtherConnection(path).value(QStringLiteral("SELECT COUNT(*) FROM reading")).toInt(),
             1);
}

void TestWorkspace::openFollowing(ItemStore &items)
{
    workspace = std::make_unique<Workspace>();
    workspace->open(path);
    workspace->follow(&items);
    ItemData *restoredActive = nullptr;
    items.adopt(workspace->restore(items.storeData(), &restoredActive));
    items.activate(restoredActive);
}

void TestWorkspace::followsTheItemStore()
{
    // Restored items are adopted by the store, which announces them as added; the workspace must
    // not add them a second time.
    const auto openStore = [this](ItemStore &items) { openFollowing(items); };
    {
        ItemStore items;
        openStore(items);
        ItemData *a = items.add(QStringLiteral("A"), ItemData::MeasureData);
        ItemData *b = items.add(QStringLiteral("B"), ItemData::MeasureData);
        items.activate(a);
        items.append(a, makeReading(120), QStringLiteral("\u03BCm"), 5000);
        items.append(a, {makeReading(130), makeReading(1300)}, QStringLiteral("mil"), 5000);
        items.rename(a, QStringLiteral("Coat"));
        CoatingRequirement iso(QStringLiteral("iso19840"), QStringLiteral("mil"));
        iso.setValue(QStringLiteral("nominal"), 4);
        items.setRequirement(a, iso);
        items.append(items.storeData(), makeReading(7), QStringLiteral("\u03BCm"), 2000);
        items.setNotes(a, notesWithPhotos(QStringLiteral("Edge\nالحافة 縁"), 1));
        items.setNotes(a, notesWithPhotos(QStringLiteral("Edge, two photos"), 2));
        items.setNotes(b, notesWithPhotos(QStringLiteral("gone with B"), ItemNotes::MaxPhotos));
        items.setNotes(items.storeData(), {QStringLiteral("from the gauge"), {}});
        JobDetails job = everyJobDetail();
        items.setJobDetails(job);
        job.setValue(JobDetails::Client, QString());
        items.setJobDetails(job);
        // Exclusions in the trail: the inspector of the job makes them.
        items.setExcluded(a, {1, 0}, QStringLiteral("Probe lifted or tilted"));
        items.setExcluded(a, {0}, QString());
        items.append(b, makeReading(99), Micrometre, 5000);
        items.setExcluded(b, {0}, QStringLiteral("gone with B"));
        items.remove(b);
        workspace.reset();
    }
    ItemStore items;
    openStore(items);
    JobDetails job = everyJobDetail();
    job.setValue(JobDetails::Client, QString());
    QVERIFY(workspace->restoreJobDetails() == job);
    QCOMPARE(items.items().size(), 1);
    ItemData *coat = items.items().first();
    QCOMPARE(items.active(), coat);
    QCOMPARE(coat->name(), QStringLiteral("Coat"));
    QCOMPARE(coat->readings().size(), 3);
    QCOMPARE(coat->rangeUm(), 5000.0);
    QCOMPARE(coat->statistics()->max, QStringLiteral("1300.0"));
    QCOMPARE(coat->requirement().value(QStringLiteral("nominal")), 4.0);
    QVERIFY(coat->notes() == notesWithPhotos(QStringLiteral("Edge, two photos"), 2));
    QCOMPARE(coat->exclusions(), (QVector<QString>{QString(), "Probe lifted or tilted"}));
    QCOMPARE(coat->statistics()->excluded, 1);
    QCOMPARE(coat->statistics()->min, QStringLiteral("120.0"));
    const QVector<ExclusionEvent> trail = coat->exclusionTrail();
    QCOMPARE(trail.size(), 3);
    for (int i = 0; i < trail.size(); ++i) {
        QCOMPARE(trail.at(i).reading, QVector<int>({1, 0, 0}).at(i));
        QCOMPARE(trail.at(i).excluded, i < 2);
        QCOMPARE(trail.at(i).reason, i < 2 ? QStringLiteral("Probe lifted or tilted") : QString());
        QCOMPARE(trail.at(i).who, QStringLiteral("7 Škoda 測定"));
        QVERIFY(trail.at(i).when.isValid());
    }
    QCOMPARE(items.storeData()->notes().text, QStringLiteral("from the gauge"));
    items.activate(items.storeData());
    QCOMPARE(items.storeData()->readings().size(), 1);
    QCOMPARE(items.storeData()->rangeUm(), 2000.0);
    workspace->commit();
    const OtherConnection other(path);
    QCOMPARE(other.value(QStringLiteral("SELECT COUNT(*) FROM item")).toInt(), 2);
    // B took its notes and photos along; an emptied field leaves no row.
    QCOMPARE(other.value(QStringLiteral("SELECT COUNT(*) FROM item_note")).toInt(), 2);
    QCOMPARE(other.value(QStringLiteral("SELECT COUNT(*) FROM item_photo")).toInt(), 2);
    QCOMPARE(other.value(QStringLiteral("SELECT COUNT(*) FROM reading_exclusion")).toInt(), 3);
    QCOMPARE(other.value(QStringLiteral("SELECT COUNT(*) FROM job_detail")).toInt(),
             JobDetails::FieldCount - 1);
    items.setJobDetails(job);
    items.setJobDetails(JobDetails());
    items.setNotes(coat, ItemNotes());
    workspace->commit();
    for (const char *table : {"job_detail", "job_logo", "item_photo"})
        QCOMPARE(other.value(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toInt(), 0);
    QCOMPARE(other.value(QStringLiteral("SELECT body FROM item_note")).toString(),
             QStringLiteral("from the gauge"));
    workspace.reset();
}

void TestWorkspace::readingsSetAsideOutliveTheLogger_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QList<double>>("store");
    QTest::addColumn<QList<double>>("earlierItem");
    QTest::newRow("dropped") << "drop" << QList<double>{300} << QList<double>{};
    QTest::newRow("restored") << "restore" << QList<double>{7, 8} << QList<double>{};
    // A logger that dies before the answer leaves both: nothing is lost either way.
    QTest::newRow("logger killed") << "kill" << QList<double>{300} << QList<double>{7, 8};
}

void TestWorkspace::readingsSetAsideOutliveTheLogger()
{
    QFETCH(QString, ending);
    QFETCH(QList<double>, store);
    QFETCH(QList<double>, earlierItem);
    const auto values = [](const ItemData *item) {
        QList<double> all;
        for (const DmmData *reading : item->readings())
            all << reading->umValue();
        return all;
    };
    // The notes stay with Store Data whichever readings it keeps; an earlier item has them too.
    const ItemNotes notes = notesWithPhotos(QStringLiteral("Tank 3, north wall"), 1);
    {
        ItemStore items;
        openFollowing(items);
        items.activate(items.storeData());
        items.append(items.storeData(), {makeReading(7), makeReading(8)}, Micrometre, 1250);
        items.setNotes(items.storeData(), notes);
        items.activate(items.add(QStringLiteral("A"), ItemData::MeasureData));
        workspace.reset();
    }
    {
        // Store Data's readings are on disk only when they go aside.
        ItemStore items;
        openFollowing(items);
        items.setAside(items.storeData());
        QCOMPARE(items.asideCount(items.storeData()), 2);
        items.activate(items.storeData());
        items.append(items.storeData(), makeReading(300), Micrometre, 1250);
        if (ending == "drop")
            items.dropAside(items.storeData());
        else if (ending == "restore")
            items.restoreAside(items.storeData());
        QCOMPARE(values(items.storeData()), ending == "restore" ? store : QList<double>{300});
        workspace->commit();
        workspace.reset();
    }
    ItemStore items;
    workspace = std::make_unique<Workspace>();
    workspace->open(path);
    QSignalSpy told(workspace.get(), &Workspace::message);
    workspace->follow(&items);
    ItemData *restoredActive = nullptr;
    items.adopt(workspace->restore(items.storeData(), &restoredActive));
    QCOMPARE(restoredActive, items.storeData());
    items.activate(items.storeData());
    QCOMPARE(values(items.storeData()), store);
    QVERIFY(items.storeData()->notes() == notes);
    QCOMPARE(items.items().size(), earlierItem.isEmpty() ? 1 : 2);
    QCOMPARE(told.count(), earlierItem.isEmpty() ? 0 : 1);
    if (!earlierItem.isEmpty()) {
        const auto imported = [](const ItemData *item) {
            return item->dataType() == ItemData::ImportData;
        };
        ItemData *earlier = *std::find_if(items.items().begin(), items.items().end(), imported);
        QCOMPARE(earlier->name(), QStringLiteral("Store Data before download"));
        items.activate(earlier);
        QCOMPARE(values(earlier), earlierItem);
        QVERIFY(earlier->notes() == notes);
        QVERIFY(told.first().first().toString().contains(earlier->name()));
    }
    workspace->commit();
    workspace.reset();
    // Said once: from then on the earlier readings are an item like any other.
    workspace = std::make_unique<Workspace>();
    workspace->open(path);
    QSignalSpy again(workspace.get(), &Workspace::message);
    ItemData *ignored = nullptr;
    ItemData storeItem(QStringLiteral("Store Data"), ItemData::StoreData);
    const QList<ItemData *> restored = workspace->restore(&storeItem, &ignored);
    QCOMPARE(restored.size(), earlierItem.isEmpty() ? 1 : 2);
    QCOMPARE(again.count(), 0);
    qDeleteAll(restored);
    workspace.reset();
}

void TestWorkspace::commitsWithinTheDelay()
{
    reopen();
    QElapsedTimer sinceChanged;
    sinceChanged.start();
    store->appendReading(makeReading(5), true);
    workspace->itemChanged(store.get());
    const auto committed = [this] {
        QSqlDatabase reader = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "reader");
        reader.setDatabaseName(path);
        int count = -1;
        {
            QSqlQuery query(reader);
            if (reader.open() && query.exec(QStringLiteral("SELECT COUNT(*) FROM reading")) &&
                query.next())
                count = query.value(0).toInt();
        }
        reader = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("reader"));
        return count;
    };
    // Another connection sees nothing before the delay is over; then the connection's thread
    // commits on its own, without a call to commit(). Only the order of the two is checked: a
    // loaded machine may take the thread as long as it likes to get there.
    const int early = committed();
    const qint64 earlyMs = sinceChanged.elapsed();
    QVERIFY2(early == 0 || earlyMs >= WorkspaceConnection::CommitDelayMs,
             qPrintable(QStringLiteral("committed after %1 ms").arg(earlyMs)));
    QTRY_COMPARE_WITH_TIMEOUT(committed(), 1, 30000);
}

void TestWorkspace::restoredItemsReadTheirReadingsOnActivation()
{
    reopen();
    auto *first = new ItemData(QStringLiteral("first"), ItemData::MeasureData);
    auto *second = new ItemData(QStringLiteral("second"), ItemData::MeasureData);
    items << first << second;
    workspace->itemAdded(first);
    workspace->itemAdded(second);
    first->setUnit(Micrometre);
    for (double um : {10.0, 20.0, 30.0})
        first->appendReading(makeReading(um), true);
    workspace->itemChanged(first);
    second->appendReading(makeReading(5), true);
    workspace->itemChanged(second);
    workspace->itemActivated(second);

    reopen();
    QCOMPARE(active, items.at(1));
    QCOMPARE(items.at(0)->readings().size(), 0);
    // Read for a report: once however often asked, and the active item stays as it was.
    workspace->loadReadings(items.at(0));
    workspace->loadReadings(items.at(0));
    QCOMPARE(items.at(0)->readings().size(), 3);
    reopen();
    QCOMPARE(active, items.at(1));
    workspace->itemActivated(items.at(0));
    QCOMPARE(items.at(0)->readings().size(), 3);
    QCOMPARE(items.at(0)->statistics()->avg, QStringLiteral("20.0"));
    // Readings appended after the reload follow the ones read back; activating again reads
    // nothing twice.
    items.at(0)->appendReading(makeReading(40), true);
    workspace->itemChanged(items.at(0));
    workspace->itemActivated(items.at(1));
    workspace->itemActivated(items.at(0));
    QCOMPARE(items.at(0)->readings().size(), 4);
    reopen();
    workspace->itemActivated(items.at(0));
    QCOMPARE(items.first()->statistics()->num, 4);
}

void TestWorkspace::upgradesEveryStepInOrder()
{
    QVERIFY(!WorkspaceSchema::steps(WorkspaceSchema::Version).isEmpty());
    QVERIFY(WorkspaceSchema::steps(WorkspaceSchema::Version + 1).isEmpty());
    reopen();
    close();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "check");
    db.setDatabaseName(path);
    QVERIFY(db.open());
    QSqlError error;
    QCOMPARE(WorkspaceSchema::storedVersion(db, &error), WorkspaceSchema::Version);
    QCOMPARE(WorkspaceSchema::prepare(db, &error), WorkspaceSchema::Outcome::Ready);
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
}

void TestWorkspace::keepsRequirement_data()
{
    QTest::addColumn<CoatingRequirement>("requirement");

    CoatingRequirement limits =
        requirementOf("limits", Micrometre, {{"minimum", 80}, {"maximum", 250.5}});
    QTest::newRow("limits") << limits;
    limits = requirementOf("limits", QStringLiteral("mil"),
                           {{"minimum", 1.0 / 3.0}, {"maximum", 9.87}, {"nominal", 4.2}});
    QTest::newRow("limits with nominal in mils") << limits;
    CoatingRequirement iso = requirementOf(
        "iso19840", Micrometre, {{"nominal", 120}, {"roughness", Iso19840Rule::MediumRoughness}});
    QTest::newRow("ISO 19840") << iso;
    iso.setValue(QStringLiteral("maximum"), 360);
    QTest::newRow("ISO 19840 with maximum") << iso;
    CoatingRequirement sspc = requirementOf("sspcpa2", QStringLiteral("mil"),
                                            {{"nominal", 5},
                                             {"minimum", 4},
                                             {"maximum", 6},
                                             {"readingsPerSpot", 4},
                                             {"spotsPerArea", 7},
                                             {"spotLowerPercent", 75.5},
                                             {"spotUpperPercent", 130}});
    QTest::newRow("SSPC-PA 2") << sspc;
    CoatingRequirement pspc = requirementOf("imopspc", Micrometre, {{"nominal", 320}});
    QTest::newRow("IMO PSPC 90/10") << pspc;
    pspc = requirementOf("imopspc", QStringLiteral("mil"), {{"nominal", 12.6}, {"maximum", 31.5}});
    QTest::newRow("IMO PSPC 90/10 with maximum in mils") << pspc;
}

void TestWorkspace::keepsRequirement()
{
    QFETCH(CoatingRequirement, requirement);
    QVERIFY2(requirement.problem().isEmpty(), qPrintable(requirement.problem()));

    reopen();
    items.append(new ItemData(QStringLiteral("A"), ItemData::MeasureData));
    workspace->itemAdded(items.last());
    items.last()->setRequirement(requirement);
    workspace->itemChanged(items.last());
    reopen();
    QCOMPARE(items.size(), 1);
    QVERIFY(items.first()->requirement() == requirement);

    items.first()->setRequirement(CoatingRequirement());
    workspace->itemChanged(items.first());
    reopen();
    QVERIFY(!items.first()->requirement().isSet());
}

void TestWorkspace::damagedRequirementIsNotApplied_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("applied");

    const auto damaged = [](const QString &from, const QString &to) {
        return QString(StoredSspc).replace(from, to);
    };
    QTest::newRow("as written") << StoredSspc << true;
    QTest::newRow("not key=value") << QStringLiteral("limits 80 250") << false;
    QTest::newRow("keys missing") << QStringLiteral("rule=limits;minimum=80") << false;
    QTest::newRow("unknown rule") << damaged("sspcpa2", "iso12944") << false;
    QTest::newRow("unknown unit") << damaged(Micrometre, "cm") << false;
    QTest::newRow("unknown key") << StoredSspc + QStringLiteral(";colour=red") << false;
    QTest::newRow("key twice") << StoredSspc + QStringLiteral(";minimum=90") << false;
    QTest::newRow("not a number") << damaged("minimum=100", "minimum=1OO") << false;
    QTest::newRow("not a number (NaN)") << damaged("maximum=200", "maximum=nan") << false;
    QTest::newRow("infinite") << damaged("maximum=200", "maximum=inf") << false;
    QTest::newRow("not a flag") << damaged("hasNominal=1", "hasNominal=yes") << false;
    QTest::newRow("minimum above maximum") << damaged("minimum=100", "minimum=300") << false;
    QTest::newRow("negative") << damaged("minimum=100", "minimum=-1") << false;
    QTest::newRow("huge spot") << damaged("readingsPerSpot=3", "readingsPerSpot=99999999999")
                               << false;
    QTest::newRow("percentage 0") << damaged("spotLowerPercent=80", "spotLowerPercent=0") << false;
}

void TestWorkspace::damagedRequirementIsNotApplied()
{
    QFETCH(QString, stored);
    QFETCH(bool, applied);

    reopen();
    items.append(new ItemData(QStringLiteral("A"), ItemData::MeasureData));
    workspace->itemAdded(items.last());
    close();
    {
        const OtherConnection other(path);
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("other program")));
        QVERIFY(query.prepare(QStringLiteral("UPDATE item SET requirement = ? WHERE kind = ?")));
        query.addBindValue(stored);
        query.addBindValue(int(ItemData::MeasureData));
        QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
    }
    reopen();
    QCOMPARE(items.size(), 1);
    QCOMPARE(items.first()->requirement().isSet(), applied);
    if (applied)
        QCOMPARE(items.first()->requirement().value("readingsPerSpot"), 3.0);
    // The item's next change writes what it holds over the damaged text.
    workspace->itemChanged(items.first());
    workspace->commit();
    if (!applied) {
        QCOMPARE(OtherConnection(path).value(QStringLiteral("SELECT requirement FROM item WHERE "
                                                            "kind = %1")
                                                 .arg(int(ItemData::MeasureData))),
                 QVariant(QString()));
    }
}

void TestWorkspace::storedText_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<CoatingRequirement>("requirement");
    // What the requirement read is written as; empty for no requirement.
    QTest::addColumn<QString>("written");

    const QString others = QStringLiteral(
        ";roughness=0;readingsPerSpot=3;spotsPerArea=5;spotLowerPercent=80;spotUpperPercent=120");
    const QString limits = QStringLiteral("rule=limits;unit=\u03BCm;hasNominal=0;nominal=0;"
                                          "minimum=80;hasMaximum=1;maximum=250.5") +
                           others;
    const CoatingRequirement limitsRead =
        requirementOf("limits", Micrometre, {{"minimum", 80}, {"maximum", 250.5}});
    QTest::newRow("limits") << limits << limitsRead << limits;
    QTest::newRow("limits, its own keys only")
        << QString(limits).remove(others) << limitsRead << limits;
    QTest::newRow("limits, other rules' values left aside")
        << QString(limits).replace("readingsPerSpot=3", "readingsPerSpot=7") << limitsRead
        << limits;
    QTest::newRow("limits, another rule's value no number")
        << QString(limits).replace("roughness=0", "roughness=x") << CoatingRequirement()
        << QString();
    QTest::newRow("limits without its maximum key")
        << QString(limits).remove(";hasMaximum=1;maximum=250.5") << CoatingRequirement()
        << QString();
    const QString iso = QStringLiteral("rule=iso19840;unit=mil;hasNominal=1;nominal=4.5;minimum=0;"
                                       "hasMaximum=0;maximum=0;roughness=0.5;readingsPerSpot=3;"
                                       "spotsPerArea=5;spotLowerPercent=80;spotUpperPercent=120");
    QTest::newRow("ISO 19840") << iso
                               << requirementOf("iso19840", QStringLiteral("mil"),
                                                {{"nominal", 4.5}, {"roughness", 0.5}})
                               << iso;
    QTest::newRow("SSPC-PA 2") << StoredSspc
                               << requirementOf(
                                      "sspcpa2", Micrometre,
                                      {{"nominal", 150}, {"minimum", 100}, {"maximum", 200}})
                               << StoredSspc;
    const QString pspc = QStringLiteral("rule=imopspc;unit=\u03BCm;hasNominal=1;nominal=320;"
                                        "minimum=0;hasMaximum=1;maximum=800") +
                         others;
    const CoatingRequirement pspcRead =
        requirementOf("imopspc", Micrometre, {{"nominal", 320}, {"maximum", 800}});
    QTest::newRow("IMO PSPC 90/10") << pspc << pspcRead << pspc;
    QTest::newRow("IMO PSPC 90/10, its own keys only")
        << QStringLiteral("rule=imopspc;unit=\u03BCm;hasNominal=1;nominal=320;hasMaximum=1;"
                          "maximum=800")
        << pspcRead << pspc;
    QTest::newRow("IMO PSPC 90/10 without NDFT")
        << QString(pspc).replace("hasNominal=1", "hasNominal=0") << CoatingRequirement()
        << QString();
}

void TestWorkspace::storedText()
{
    QFETCH(QString, stored);
    QFETCH(CoatingRequirement, requirement);
    const CoatingRequirement read = StoredRequirement::fromText(stored);
    QVERIFY(read == requirement);
    QTEST(StoredRequirement::toText(read), "written");
}

void TestWorkspace::upgradesInPlace_data()
{
    QTest::addColumn<int>("version");
    QTest::newRow("version 1") << 1;
    QTest::newRow("version 2: no ranges yet") << 2;
    QTest::newRow("version 3: no notes or job details yet") << 3;
    QTest::newRow("version 4: no identities yet") << 4;
    QTest::newRow("version 5: no exclusions yet") << 5;
}

// A workspace of an earlier version opens, is brought up to date, and shows what it showed.
void TestWorkspace::upgradesInPlace()
{
    QFETCH(int, version);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "earlier");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QStringList statements;
        for (int step = 1; step <= version; ++step)
            statements << WorkspaceSchema::steps(step);
        const QString item = QStringLiteral(
            "INSERT INTO item (id, kind, name, unit, position, active, created_ms, created_offset)"
            " VALUES (%1, %2, '%3', '%4', %1, %5, 0, 0)");
        const QString reading = QStringLiteral(
            "INSERT INTO reading VALUES (%1, %2, NULL, NULL, %3, %4, '%3', '%4', 0, '%5', 'Fe')");
        statements << item.arg(1).arg(int(ItemData::StoreData)).arg("Store Data", "").arg(0)
                   << item.arg(2).arg(int(ItemData::MeasureData)).arg("Kept", "mil").arg(1)
                   << reading.arg(2).arg(0).arg(127).arg(5).arg("mil")
                   << item.arg(3).arg(int(ItemData::MeasureData)).arg("Thick", Micrometre).arg(0)
                   << reading.arg(3).arg(0).arg(1000).arg(39.37).arg(Micrometre)
                   << reading.arg(3).arg(1).arg(1300).arg(51.18).arg(Micrometre)
                   << QStringLiteral("PRAGMA user_version = %1").arg(version);
        for (const QString &statement : qAsConst(statements))
            QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("earlier"));

    reopen();
    QVERIFY(workspace->isSaving());
    QCOMPARE(items.size(), 2);
    QCOMPARE(items.first()->name(), QStringLiteral("Kept"));
    QCOMPARE(items.first()->unit(), QStringLiteral("mil"));
    QCOMPARE(active, items.first());
    QVERIFY(!items.first()->requirement().isSet());
    QVERIFY(items.first()->notes().isEmpty());
    QVERIFY(workspace->restoreJobDetails().isEmpty());
    workspace->itemActivated(items.first());
    QCOMPARE(items.first()->readings().size(), 1);
    QCOMPARE(items.first()->readings().first()->milValue(), 5.0);
    // Items kept before ranges were kept are held to the 1250 they always were.
    ItemData *thick = items.at(1);
    workspace->itemActivated(thick);
    QCOMPARE(thick->rangeUm(), IGaugeRange::DefaultRangeUm);
    QCOMPARE(store->rangeUm(), IGaugeRange::DefaultRangeUm);
    const StatData *statistics = thick->statistics();
    QCOMPARE(QStringList({QString::number(statistics->num), statistics->avg, statistics->min,
                          statistics->max}),
             QStringList({"2", "1150.0", "1000.0", " OL"}));
    QCOMPARE(thick->excludedCount(), 0);
    QVERIFY(thick->exclusionTrail().isEmpty());
    const CoatingRequirement limits =
        requirementOf("limits", QStringLiteral("mil"), {{"minimum", 4}, {"maximum", 6}});
    items.first()->setRequirement(limits);
    workspace->itemChanged(items.first());
    items.first()->setNotes(notesWithPhotos(QStringLiteral("kept since the upgrade"), 1));
    workspace->notesChanged(items.first());
    workspace->jobDetailsChanged(everyJobDetail());
    workspace->commit();
    QCOMPARE(OtherConnection(path).value(QStringLiteral("PRAGMA user_version")).toInt(),
             WorkspaceSchema::Version);
    // Every item and the workspace have an identity of their own, for a team server; clearing
    // an item's readings gives it a new one.
    const OtherConnection other(path);
    const QString identities =
        QStringLiteral("SELECT COUNT(DISTINCT uuid) FROM (SELECT uuid FROM item UNION ALL"
                       " SELECT uuid FROM workspace_identity) WHERE LENGTH(uuid) = 36");
    QCOMPARE(other.value(identities).toInt(), 4);
    const QString thickUuid = QStringLiteral("SELECT uuid FROM item WHERE id = 3");
    const QString before = other.value(thickUuid).toString();
    workspace->readingsCleared(thick);
    workspace->commit();
    QVERIFY(other.value(thickUuid).toString() != before);
    QCOMPARE(other.value(identities).toInt(), 4);
    reopen();
    QVERIFY(items.first()->requirement() == limits);
    QVERIFY(items.first()->notes() == notesWithPhotos(QStringLiteral("kept since the upgrade"), 1));
    QVERIFY(workspace->restoreJobDetails() == everyJobDetail());
    QCOMPARE(items.at(1)->rangeUm(), IGaugeRange::DefaultRangeUm);
}

void TestWorkspace::damagedFileIsMovedAside_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("not a database") << QByteArray("Readings of Monday\n125 um\n", 26);
    QByteArray header("SQLite format 3", 16);
    QTest::newRow("broken header") << header + QByteArray(4080, '\x5a');
}

void TestWorkspace::damagedFileIsMovedAside()
{
    QFETCH(QByteArray, contents);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    workspace = std::make_unique<Workspace>();
    QSignalSpy messages(workspace.get(), &Workspace::message);
    QSignalSpy stopped(workspace.get(), &Workspace::savingStopped);
    workspace->open(path);
    QVERIFY(workspace->isSaving());
    QCOMPARE(stopped.count(), 0);
    QCOMPARE(messages.count(), 1);
    const QStringList aside = QDir(dir->path()).entryList({"workspace.sqlite.damaged-*"});
    QCOMPARE(aside.size(), 1);
    const QString asidePath = dir->filePath(aside.first());
    const QString text = messages.first().first().toString();
    QVERIFY2(text.contains(QDir::toNativeSeparators(path)), qPrintable(text));
    QVERIFY2(text.contains(QDir::toNativeSeparators(asidePath)), qPrintable(text));
    QFile kept(asidePath);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), contents);
    // The new workspace works.
    store = std::make_unique<ItemData>(QStringLiteral("Store Data"), ItemData::StoreData);
    items = workspace->restore(store.get(), &active);
    QVERIFY(items.isEmpty());
    reopen();
    QVERIFY(workspace->isSaving());
}

void TestWorkspace::newerWorkspaceIsLeftUntouched()
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "newer");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec(QStringLiteral("CREATE TABLE future (x INTEGER)")));
        QVERIFY(query.exec(
            QStringLiteral("PRAGMA user_version = %1").arg(WorkspaceSchema::Version + 1)));
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("newer"));
    const QByteArray before = fileHash(path);
    const QStringList filesBefore = QDir(dir->path()).entryList(QDir::Files);

    workspace = std::make_unique<Workspace>();
    QSignalSpy messages(workspace.get(), &Workspace::message);
    workspace->open(path);
    QVERIFY(!workspace->isSaving());
    QCOMPARE(messages.count(), 1);
    QVERIFY(messages.first().first().toString().contains(QStringLiteral("newer")));
    store = std::make_unique<ItemData>(QStringLiteral("Store Data"), ItemData::StoreData);
    items = workspace->restore(store.get(), &active);
    QVERIFY(items.isEmpty());
    auto *item = new ItemData(QStringLiteral("in memory"), ItemData::MeasureData);
    items.append(item);
    workspace->itemAdded(item);
    item->appendReading(makeReading(3), true);
    workspace->itemChanged(item);
    close();
    QCOMPARE(fileHash(path), before);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), filesBefore);
}

void TestWorkspace::unwritableFolderRunsInMemory()
{
    // A folder that cannot be made, even by an administrator: its parent is a file.
    QFile blocker(dir->filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    workspace = std::make_unique<Workspace>();
    QSignalSpy messages(workspace.get(), &Workspace::message);
    QSignalSpy stopped(workspace.get(), &Workspace::savingStopped);
    workspace->open(dir->filePath(QStringLiteral("blocker/workspace.sqlite")));
    QVERIFY(!workspace->isSaving());
    QCOMPARE(messages.count(), 1);
    QCOMPARE(stopped.count(), 1);
    store = std::make_unique<ItemData>(QStringLiteral("Store Data"), ItemData::StoreData);
    items = workspace->restore(store.get(), &active);
    QVERIFY(items.isEmpty());
    store->appendReading(makeReading(1), true);
    workspace->itemChanged(store.get());
    workspace->itemActivated(store.get());
    QCOMPARE(store->readings().size(), 1);
    QCOMPARE(messages.count(), 1);
}

void TestWorkspace::workspaceInUseRunsInMemory()
{
    reopen();
    Workspace second;
    QSignalSpy messages(&second, &Workspace::message);
    second.open(path);
    QVERIFY(!second.isSaving());
    QCOMPARE(messages.count(), 1);
    QVERIFY(messages.first().first().toString().contains(QStringLiteral("in use")));
    QVERIFY(workspace->isSaving());
}

void TestWorkspace::failedCommitKeepsReadingsInMemory()
{
    reopen();
    QSignalSpy messages(workspace.get(), &Workspace::message);
    QSignalSpy stopped(workspace.get(), &Workspace::savingStopped);
    // Another program holds the file's write lock for longer than a write waits for it.
    const OtherConnection other(path);
    QVERIFY(other.holdWriteLock());
    auto *item = new ItemData(QStringLiteral("Measure1"), ItemData::MeasureData);
    items.append(item);
    workspace->itemAdded(item);
    for (int i = 0; i < 2000; ++i) {
        item->appendReading(makeReading(100 + i % 50), true);
        workspace->itemChanged(item);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!workspace->isSaving(), 10000);
    QCOMPARE(messages.count(), 1);
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(item->readings().size(), 2000);
    workspace->itemActivated(store.get());
    QCOMPARE(item->readings().size(), 2000);
    QCOMPARE(messages.count(), 1);
}

int main(int argc, char *argv[])
{
    // Readings across a change of daylight-saving time need a zone that has one.
    qputenv("TZ", "Europe/Berlin");
#ifdef Q_OS_UNIX
    tzset();
#endif
    QCoreApplication app(argc, argv);
    TestWorkspace test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_workspace.moc"
