#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

#include "dmmdata.h"
#include "itemdata.h"
#include "itemstore.h"
#include "pgtestserver.h"
#include "teamaddress.h"
#include "teamlogger.h"
#include "teamreader.h"
#include "teamreaderworker.h"
#include "teamschema.h"
#include "teamserver.h"
#include "teamsync.h"
#include "storedreading.h"
#include "storedrequirement.h"
#include "workspace.h"
#include "workspacereader.h"

namespace {

const QString Micrometre = QStringLiteral("\u03BCm");

DmmData *makeReading(double um, const QDateTime &time, const QString &text = QString())
{
    auto *reading = new DmmData;
    reading->setTime(time);
    reading->setUmValue(um);
    reading->setMilValue(um / 25.4);
    reading->setUmText(text.isNull() ? QString::number(um, 'f', 1) : text);
    reading->setMilText(QString::number(um / 25.4, 'f', 2));
    reading->setOverload(std::isnan(um) ? 1 : 0);
    reading->setUnit(Micrometre);
    reading->setBasis(QStringLiteral("Fe"));
    return reading;
}

QList<DmmData *> manyReadings(int count, int first = 0)
{
    QList<DmmData *> readings;
    readings.reserve(count);
    const QDateTime start = QDateTime::currentDateTime();
    for (int n = first; n < first + count; ++n)
        readings.append(makeReading(50.0 + n % 997 * 0.25, start.addMSecs(n)));
    return readings;
}

QStringList sortedRows(QSqlQuery &query)
{
    QStringList rows;
    while (query.next()) {
        QStringList cells;
        for (int i = 0; i < query.record().count(); ++i)
            cells.append(PgTestServer::cell(query.value(i)));
        rows.append(cells.join(QLatin1Char('|')));
    }
    rows.sort();
    return rows;
}

// A logger that retries soon: the tests' servers are back within a second.
struct Logger : TeamLogger
{
    explicit Logger(const QString &path)
        : TeamLogger(path)
    {
        sync.setRetryDelays(100, 1000);
    }
};

} // namespace

class TestTeamSync : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void addresses_data();
    void addresses();
    void copiesEveryField();
    void itemRowsAgree_data();
    void itemRowsAgree();
    void followsChanges();
    void resumesAfterTheServerWentAway_data();
    void resumesAfterTheServerWentAway();
    void resumesAfterTheSyncWasKilled();
    void twoLoggersOfOneInspector();
    void stopsAtANewerServer();
    void refusesClearly_data();
    void refusesClearly();
    void verifiesTheServer_data();
    void verifiesTheServer();
    void rowLevelSecurity_data();
    void rowLevelSecurity();
    void readsTheTeam_data();
    void readsTheTeam();
    void followsTheTeam();
    void readerFailures_data();
    void readerFailures();

private:
    // The workspace's rows and the server's, in the same form.
    QStringList localRows(const QString &sql);
    QStringList serverRows(const QString &sql) const;
    void compareEverything();
    // Waits for the sync to be refused for cause, then checks that it does not retry at once.
    void checkRefused(const QSignalSpy &statuses, const QString &cause);
    bool waitUpToDate(const QSignalSpy &spy, const QString &workspacePath, int timeoutMs = 60000);
    int serverReadings() const;
    int localReadings(const QString &path);
    // A logger of role holding one item of readings, synced.
    std::unique_ptr<Logger> syncedLogger(const QString &role, const QString &file,
                                         const QString &name, int readings);

    PgTestServer server;
    QString skipped;
    // Started by the first test that needs it, for the rest.
    std::unique_ptr<PgTestServer> tlsServer;
    QString tlsSkipped;
    std::unique_ptr<QTemporaryDir> dir;
    QString path;
};

void TestTeamSync::initTestCase()
{
    skipped = server.start();
}

void TestTeamSync::init()
{
    if (!skipped.isEmpty())
        QSKIP(qPrintable(skipped));
    dir = std::make_unique<QTemporaryDir>();
    path = dir->filePath(QStringLiteral("workspace.sqlite"));
    // The administrator's first connection makes the tables.
    TeamServer admin(QStringLiteral("admin"));
    QString error;
    QCOMPARE(admin.open(server.keywords(QStringLiteral("rq_admin")), &error),
             TeamServer::Outcome::Ready);
}

void TestTeamSync::cleanup()
{
    // Each test starts on a server with the roles and without the logger's tables.
    server.exec({QStringLiteral("SET client_min_messages = warning"),
                 QStringLiteral("DROP TABLE IF EXISTS logger_schema, team_member, workspace,"
                                " workspace_detail, item, item_photo, reading, reading_exclusion"
                                " CASCADE"),
                 QStringLiteral("DROP FUNCTION IF EXISTS rq_team_of(name)")});
}

QStringList TestTeamSync::localRows(const QString &sql)
{
    QStringList rows;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("local"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery query(db);
        rows = query.exec(sql) ? sortedRows(query) : QStringList{query.lastError().text()};
    }
    QSqlDatabase::removeDatabase(QStringLiteral("local"));
    return rows;
}

QStringList TestTeamSync::serverRows(const QString &sql) const
{
    QStringList rows = server.rows(sql);
    rows.sort();
    return rows;
}

int TestTeamSync::serverReadings() const
{
    return server.value(QStringLiteral("SELECT COUNT(*) FROM reading")).toInt();
}

int TestTeamSync::localReadings(const QString &file)
{
    const QString kept = path;
    path = file;
    const QStringList rows =
        localRows(QStringLiteral("SELECT COUNT(*) FROM reading JOIN item ON item.id = "
                                 "reading.item_id WHERE item.kind >= 0"));
    path = kept;
    return rows.value(0).toInt();
}

bool TestTeamSync::waitUpToDate(const QSignalSpy &spy, const QString &workspacePath, int timeoutMs)
{
    const int expected = localReadings(workspacePath);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        QTest::qWait(50);
        if (spy.isEmpty())
            continue;
        const auto status = spy.last().first().value<TeamSyncStatus>();
        if (status.state == TeamSyncStatus::UpToDate &&
            server.value(QStringLiteral("SELECT COUNT(*) FROM reading r JOIN item i ON i.uuid ="
                                        " r.item JOIN workspace w ON w.uuid = i.workspace"))
                    .toInt() >= expected)
            return true;
    }
    return false;
}

void TestTeamSync::compareEverything()
{
    // Every field of every item, reading, photo and job detail, on both sides.
    QCOMPARE(serverRows(QStringLiteral(
                 "SELECT uuid::text, kind, name, unit, position, created_ms, created_offset,"
                 " requirement, range_um, notes FROM item")),
             localRows(QStringLiteral(
                 "SELECT uuid, kind, name, unit, position, created_ms, created_offset,"
                 " requirement, range_um, COALESCE((SELECT body FROM item_note WHERE item_id ="
                 " item.id), '') FROM item WHERE kind >= 0")));
    QCOMPARE(serverRows(QStringLiteral(
                 "SELECT item::text, seq, time_ms, time_offset, um_value, mil_value, um_text,"
                 " mil_text, overload, unit, basis, exclusion FROM reading")),
             localRows(QStringLiteral(
                 "SELECT i.uuid, seq, time_ms, time_offset, um_value, mil_value, um_text,"
                 " mil_text, overload, r.unit, basis, exclusion FROM reading r JOIN item i ON"
                 " i.id = r.item_id WHERE i.kind >= 0")));
    QCOMPARE(serverRows(QStringLiteral("SELECT item::text, event, seq, excluded, reason, who,"
                                       " time_ms, time_offset FROM reading_exclusion")),
             localRows(QStringLiteral("SELECT i.uuid, event, seq, excluded, reason, who, time_ms,"
                                      " time_offset FROM reading_exclusion e JOIN item i ON i.id ="
                                      " e.item_id WHERE i.kind >= 0")));
    QCOMPARE(serverRows(QStringLiteral("SELECT item::text, seq, name, bytes FROM item_photo")),
             localRows(QStringLiteral("SELECT i.uuid, seq, p.name, bytes FROM item_photo p"
                                      " JOIN item i ON i.id = p.item_id")));
    QCOMPARE(serverRows(QStringLiteral("SELECT w.uuid::text, key, value FROM workspace_detail d"
                                       " JOIN workspace w ON w.uuid = d.workspace")),
             localRows(QStringLiteral("SELECT w.uuid, key, value FROM job_detail, "
                                      "workspace_identity w")));
    QCOMPARE(serverRows(QStringLiteral("SELECT uuid::text, logo FROM workspace")),
             localRows(QStringLiteral("SELECT w.uuid, (SELECT bytes FROM job_logo) FROM "
                                      "workspace_identity w")));
}

void TestTeamSync::addresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("keywords");
    QTest::addColumn<bool>("password");
    QTest::newRow("keywords") << "host=db.example port=5433 dbname=team user=alice"
                              << "host='db.example' port='5433' dbname='team' user='alice' "
                                 "connect_timeout=10"
                              << false;
    QTest::newRow("quoted value")
        << "host=h sslrootcert='C:\\\\certs\\\\it\\'s.crt' connect_timeout=3"
        << "host='h' sslrootcert='C:\\\\certs\\\\it\\'s.crt' connect_timeout='3'" << false;
    QTest::newRow("uri") << "postgresql://alice@db.example:5433/team?sslmode=verify-full"
                         << "user='alice' host='db.example' port='5433' dbname='team' "
                            "sslmode='verify-full' connect_timeout=10"
                         << false;
    QTest::newRow("password keyword") << "host=h user=alice password=secret" << QString() << true;
    QTest::newRow("password in uri") << "postgresql://alice:secret@h/team" << QString() << true;
    QTest::newRow("unreadable") << "host" << QString() << false;
    QTest::newRow("unterminated quote") << "host='h" << QString() << false;
}

void TestTeamSync::addresses()
{
    QFETCH(QString, address);
    QFETCH(QString, keywords);
    QFETCH(bool, password);
    QString error;
    QCOMPARE(TeamAddress::toKeywords(address, &error), keywords);
    QCOMPARE(TeamAddress::hasPassword(address), password);
    QCOMPARE(error.isEmpty(), !keywords.isEmpty());
    if (password)
        QCOMPARE(error, TeamAddress::passwordRefusal());
}

void TestTeamSync::copiesEveryField()
{
    Logger logger(path);
    ItemData *a = logger.items.add(QStringLiteral("Deck 'A' \\ Träger 縁"), ItemData::MeasureData);
    ItemData *b = logger.items.add(QStringLiteral("B"), ItemData::MeasureData);
    const QDateTime winter = QDateTime(QDate(2026, 1, 15), QTime(9, 30, 0, 123));
    logger.items.append(
        a,
        {makeReading(123.456789012345, winter),
         makeReading(std::numeric_limits<double>::quiet_NaN(), winter, "OL"),
         makeReading(1e-300, QDateTime()),
         makeReading(0.1, winter.addDays(180), QStringLiteral("it's \\ \"q\" {a,b} NULL \u00B5")),
         makeReading(std::numeric_limits<double>::infinity(), winter)},
        QStringLiteral("mil"), 5000);
    logger.items.append(logger.items.storeData(), manyReadings(12000), Micrometre, 1250);
    CoatingRequirement iso(QStringLiteral("iso19840"), QStringLiteral("mil"));
    iso.setValue(QStringLiteral("nominal"), 4);
    logger.items.setRequirement(a, iso);
    logger.items.setNotes(a, {QStringLiteral("Edge\nالحافة"),
                              {{QStringLiteral("one.jpg"), QByteArray(3000, '\0')},
                               {QStringLiteral("two.png"), QByteArray("\x89PNG'\\", 7)}}});
    JobDetails job;
    for (int field = 0; field < JobDetails::FieldCount; ++field)
        job.setValue(JobDetails::Field(field), QStringLiteral("%1 Škoda 'x'").arg(field));
    job.setLogo(QByteArray("\x89PNG\r\n\x1a\n\0logo", 13));
    logger.items.setJobDetails(job);
    logger.items.append(b, manyReadings(3), Micrometre, 1250);
    logger.workspace.commit();

    QSignalSpy statuses(&logger.sync, &TeamSync::statusChanged);
    logger.sync.start(path, server.keywords(QStringLiteral("alice")));
    QVERIFY(waitUpToDate(statuses, path));
    compareEverything();
    QCOMPARE(statuses.last().first().value<TeamSyncStatus>().text(),
             QStringLiteral("Team server: up to date"));
    QCOMPARE(server.value(QStringLiteral("SELECT DISTINCT owner FROM reading")).toString(),
             QStringLiteral("alice"));
    QCOMPARE(server.value(QStringLiteral("SELECT job FROM workspace")).toString(),
             job.value(JobDetails::Project));

    // Read back by the QA office, every field of every reading comes back as it was.
    TeamReader reader;
    QSignalSpy listed(&reader, &TeamReader::listed);
    QSignalSpy fetched(&reader, &TeamReader::fetched);
    reader.start(QString(), server.keywords(QStringLiteral("quentin")));
    QTRY_VERIFY_WITH_TIMEOUT(!listed.isEmpty(), 30000);
    const auto items = listed.first().first().value<QList<TeamItem>>();
    const auto found = std::find_if(items.begin(), items.end(),
                                    [a](const TeamItem &item) { return item.name == a->name(); });
    QVERIFY(found != items.end());
    QCOMPARE(found->owner, QStringLiteral("alice"));
    QCOMPARE(found->job, job.value(JobDetails::Project));
    QCOMPARE(found->readings, a->readings().size());
    QCOMPARE(found->requirement, StoredRequirement::toText(iso));
    reader.fetch(found->uuid, 0);
    QTRY_VERIFY_WITH_TIMEOUT(!fetched.isEmpty(), 30000);
    const auto part = fetched.first().first().value<TeamReadings>();
    QVERIFY(part.last);
    const QList<DmmData *> back = StoredReading::toReadings(part.rows).readings;
    QCOMPARE(back.size(), a->readings().size());
    for (int n = 0; n < back.size(); ++n) {
        const DmmData *local = a->readings().at(n);
        const DmmData *remote = back.at(n);
        QCOMPARE(remote->time(), local->time());
        QCOMPARE(remote->time().offsetFromUtc(), local->time().offsetFromUtc());
        QCOMPARE(PgTestServer::cell(remote->umValue()), PgTestServer::cell(local->umValue()));
        QCOMPARE(PgTestServer::cell(remote->milValue()), PgTestServer::cell(local->milValue()));
        QCOMPARE(remote->umText(), local->umText());
        QCOMPARE(remote->milText(), local->milText());
        QCOMPARE(remote->overload(), local->overload());
        QCOMPARE(remote->unit(), local->unit());
        QCOMPARE(remote->basis(), local->basis());
    }
    qDeleteAll(back);
}

void TestTeamSync::itemRowsAgree_data()
{
    QTest::addColumn<QStringList>("photos");
    QTest::newRow("no photo") << QStringList();
    QTest::newRow("two photos") << QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.png")};
    QTest::newRow("separators and placeholders in names")
        << QStringList{QStringLiteral("a:1/b.jpg"), QStringLiteral("%1 %2.jpg")};
}

void TestTeamSync::itemRowsAgree()
{
    // A synced item reads the same from the server as from the workspace, or the sync would send
    // it, and its photos, at every cycle.
    QFETCH(QStringList, photos);
    Logger logger(path);
    ItemData *a = logger.items.add(QStringLiteral("A"), ItemData::MeasureData);
    logger.items.append(a, manyReadings(10), Micrometre, 1250);
    logger.items.setExcluded(a, {3, 4}, QStringLiteral("Probe lifted"));
    logger.items.setExcluded(a, {4}, QString());
    ItemNotes notes{QStringLiteral("Edge"), {}};
    for (const QString &name : photos)
        notes.photos.append({name, name.toUtf8().repeated(100)});
    logger.items.setNotes(a, notes);
    logger.workspace.commit();
    QSignalSpy statuses(&logger.sync, &TeamSync::statusChanged);
    logger.sync.start(path, server.keywords(QStringLiteral("bob")));
    QVERIFY(waitUpToDate(statuses, path));

    WorkspaceReader reader(QStringLiteral("agree"));
    WorkspaceReader::Snapshot local;
    QString error;
    QVERIFY2(reader.open(path, &error) && reader.snapshot(&local, &error), qPrintable(error));
    TeamServer bob(QStringLiteral("agree-bob"));
    QCOMPARE(bob.open(server.keywords(QStringLiteral("bob")), &error), TeamServer::Outcome::Ready);
    QHash<QString, ItemRow> held;
    QVERIFY2(bob.items(local.uuid, &held, &error), qPrintable(error));
    QCOMPARE(held.size(), local.items.size());
    for (const WorkspaceReader::Item &item : qAsConst(local.items)) {
        const ItemRow theirs = held.value(item.uuid);
        QVERIFY(TeamServer::sameItem(theirs, item));
        QCOMPARE(theirs.photos, item.photos);
        QCOMPARE(theirs.createdMs, item.createdMs);
        QCOMPARE(theirs.createdOffset, item.createdOffset);
        QCOMPARE(theirs.readings, item.readings);
        QCOMPARE(theirs.exclusionEvents, item.exclusionEvents);
    }
    const auto synced =
        std::find_if(local.items.cbegin(), local.items.cend(),
                     [](const WorkspaceReader::Item &item) { return item.name == "A"; });
    QVERIFY(synced != local.items.cend());
    QCOMPARE(synced->readings, 10);
    QVERIFY(synced->exclusionEvents > 0);
    QCOMPARE(synced->photos.isEmpty(), photos.isEmpty());

    // The readings come back through one cursor, a part at a time; an id that is no uuid never
    // reaches the server's query.
    QList<int> parts;
    const auto take = [&parts](std::vector<WorkspaceConnection::Reading> *rows) {
        parts << int(rows->size());
        return true;
    };
    QVERIFY2(bob.readings(synced->uuid, 0, 4, take, &error), qPrintable(error));
    QCOMPARE(parts, QList<int>({4, 4, 2}));
    QVERIFY(!bob.readings(synced->uuid + "'::uuid; DELETE FROM reading; --", 0, 4, take, &error));
    QCOMPARE(serverReadings(), 10);
}

void TestTeamSync::followsChanges()
{
    Logger logger(path);
    ItemData *a = logger.items.add(QStringLiteral("A"), ItemData::MeasureData);
    ItemData *b = logger.items.add(QStringLiteral("B"), ItemData::MeasureData);
    ItemData *c = logger.items.add(QStringLiteral("C"), ItemData::MeasureData);
    for (ItemData *item : {a, b, c})
        logger.items.append(item, manyReadings(100), Micrometre, 1250);
    logger.items.setNotes(c, {QStringLiteral("c"), {{QStringLiteral("c.jpg"), "jpeg"}}});
    logger.workspace.commit();
    QSignalSpy statuses(&logger.sync, &TeamSync::statusChanged);
    logger.sync.start(path, server.keywords(QStringLiteral("bob")));
    QVERIFY(waitUpToDate(statuses, path));

    // A rename, readings cleared and refilled, an item removed, new photos, a new reading,
    // readings excluded and one included again.
    logger.items.setExcluded(c, {0, 5, 99}, QStringLiteral("Probe lifted"));
    logger.items.setExcluded(c, {5}, QString());
    logger.items.rename(a, QStringLiteral("A renamed"));
    logger.items.clear(b);
    logger.items.append(b, manyReadings(7, 500), Micrometre, 1250);
    logger.items.setNotes(c, {QStringLiteral("c"), {{QStringLiteral("c.jpg"), "other"}}});
    logger.items.remove(a);
    logger.items.append(c, manyReadings(1, 100), Micrometre, 1250);
    logger.workspace.commit();
    statuses.clear();
    QVERIFY(waitUpToDate(statuses, path));
    QTRY_COMPARE(serverReadings(), localReadings(path));
    compareEverything();
}

void TestTeamSync::resumesAfterTheServerWentAway_data()
{
    QTest::addColumn<bool>("crash");
    QTest::newRow("server killed and restarted") << true;
    QTest::newRow("network cut: server stopped") << false;
}

void TestTeamSync::resumesAfterTheServerWentAway()
{
    QFETCH(bool, crash);
    Logger logger(path);
    ItemData *item = logger.items.add(QStringLiteral("Long"), ItemData::MeasureData);
    logger.items.append(item, manyReadings(100000), Micrometre, 1250);
    logger.workspace.commit();
    QSignalSpy statuses(&logger.sync, &TeamSync::statusChanged);
    logger.sync.start(path, server.keywords(QStringLiteral("alice")));
    QTRY_VERIFY_WITH_TIMEOUT(serverReadings() > 0, 60000);
    QVERIFY(server.stop(crash));
    // Readings keep landing in the workspace while the server is away.
    logger.items.append(item, manyReadings(1000, 100000), Micrometre, 1250);
    logger.workspace.commit();
    const auto waiting = [&statuses] {
        for (const QList<QVariant> &signal : statuses) {
            const auto status = signal.first().value<TeamSyncStatus>();
            if (status.state == TeamSyncStatus::Waiting && status.retrySeconds > 0 &&
                status.text().contains(QStringLiteral("readings waiting, retrying in")))
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(waiting(), 30000);
    QVERIFY(server.restart());
    QVERIFY(waitUpToDate(statuses, path, 120000));
    QCOMPARE(serverReadings(), 101000);
    QCOMPARE(server.value(QStringLiteral("SELECT MAX(seq) + 1 - COUNT(*) FROM reading")).toInt(),
             0);
    compareEverything();
}

void TestTeamSync::resumesAfterTheSyncWasKilled()
{
    {
        Logger logger(path);
        ItemData *item = logger.items.add(QStringLiteral("Long"), ItemData::MeasureData);
        logger.items.append(item, manyReadings(100000), Micrometre, 1250);
        logger.items.append(logger.items.add(QStringLiteral("Short"), ItemData::MeasureData),
                            manyReadings(10), Micrometre, 1250);
    }
    const QString address = server.keywords(QStringLiteral("carol"));
    QProcess sync;
    sync.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sync.start(QStringLiteral(TEAM_SYNC_PROCESS), {path, address});
    QTRY_VERIFY_WITH_TIMEOUT(serverReadings() > 0, 60000);
    sync.kill();
    QVERIFY(sync.waitForFinished());
    QVERIFY(serverReadings() < 100010);

    sync.start(QStringLiteral(TEAM_SYNC_PROCESS), {path, address});
    QVERIFY(sync.waitForFinished(120000));
    QCOMPARE(sync.exitCode(), 0);
    QVERIFY(sync.readAll().contains("Team server: up to date"));
    QCOMPARE(serverReadings(), 100010);
    compareEverything();
}

void TestTeamSync::twoLoggersOfOneInspector()
{
    const QString otherPath = dir->filePath(QStringLiteral("other.sqlite"));
    Logger first(path);
    Logger second(otherPath);
    for (Logger *logger : {&first, &second}) {
        ItemData *item = logger->items.add(QStringLiteral("Measure1"), ItemData::MeasureData);
        logger->items.append(item, manyReadings(20000), Micrometre, 1250);
        logger->workspace.commit();
    }
    QSignalSpy firstStatuses(&first.sync, &TeamSync::statusChanged);
    QSignalSpy secondStatuses(&second.sync, &TeamSync::statusChanged);
    first.sync.start(path, server.keywords(QStringLiteral("alice")));
    second.sync.start(otherPath, server.keywords(QStringLiteral("alice")));
    QVERIFY(waitUpToDate(firstStatuses, path));
    QVERIFY(waitUpToDate(secondStatuses, otherPath));
    QTRY_COMPARE(serverReadings(), 40000 + 0);
    QCOMPARE(server.value(QStringLiteral("SELECT COUNT(*) FROM item WHERE name = 'Measure1'")),
             QVariant(2));
    QCOMPARE(server.value(QStringLiteral("SELECT COUNT(DISTINCT workspace) FROM item")),
             QVariant(2));
}

void TestTeamSync::stopsAtANewerServer()
{
    Logger logger(path);
    logger.items.append(logger.items.add(QStringLiteral("A"), ItemData::MeasureData),
                        manyReadings(10), Micrometre, 1250);
    logger.workspace.commit();
    QVERIFY(server.exec({QStringLiteral("UPDATE logger_schema SET version = 99")}));
    QSignalSpy statuses(&logger.sync, &TeamSync::statusChanged);
    logger.sync.start(path, server.keywords(QStringLiteral("alice")));
    QTRY_VERIFY(!statuses.isEmpty() &&
                statuses.last().first().value<TeamSyncStatus>().state == TeamSyncStatus::Stopped);
    QCOMPARE(statuses.last().first().value<TeamSyncStatus>().text(),
             QStringLiteral("Team server: stopped: the server's tables were made by a newer logger "
                            "(version 99, this logger knows %1); the readings stay in this "
                            "workspace")
                 .arg(TeamSchema::Version));
    // No retries, nothing written, the workspace as it was.
    QTest::qWait(500);
    QCOMPARE(statuses.size(), 2);
    QCOMPARE(server.value(QStringLiteral("SELECT COUNT(*) FROM workspace")).toInt(), 0);
    QCOMPARE(localReadings(path), 10);
}

void TestTeamSync::refusesClearly_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("prepared");
    QTest::addColumn<QString>("cause");
    // Run before the sync starts; %1 is the workspace's uuid.
    QTest::addColumn<QString>("before");
    QTest::newRow("unknown role") << "mallory" << true << "role \"mallory\" does not exist"
                                  << QString();
    QTest::newRow("inspector on an empty server")
        << "alice" << false << "the role alice may not create or change the logger's tables"
        << QString();
    QTest::newRow("QA role") << "quentin" << true << "permission denied" << QString();
    QTest::newRow("a copy of a workspace synced from another computer")
        << "alice" << true << "this workspace is synced from another computer"
        << "INSERT INTO workspace (uuid, owner, writer) VALUES ('%1', 'alice', 'elsewhere')";
}

void TestTeamSync::refusesClearly()
{
    QFETCH(QString, role);
    QFETCH(bool, prepared);
    QFETCH(QString, cause);
    QFETCH(QString, before);
    Logger logger(path);
    if (!prepared)
        cleanup();
    const QString uuid = localRows(QStringLiteral("SELECT uuid FROM workspace_identity")).value(0);
    if (!before.isEmpty())
        QVERIFY(server.exec({before.arg(uuid)}));
    QSignalSpy statuses(&logger.sync, &TeamSync::statusChanged);
    logger.sync.start(path, server.keywords(role));
    checkRefused(statuses, cause);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(server.value(QStringLiteral("SELECT COUNT(*) FROM workspace")).toInt(),
             before.isEmpty() ? 0 : 1);
    QCOMPARE(server.value(QStringLiteral("SELECT COUNT(*) FROM item")).toInt(), 0);
}

void TestTeamSync::checkRefused(const QSignalSpy &statuses, const QString &cause)
{
    QTRY_VERIFY(!statuses.isEmpty() &&
                statuses.last().first().value<TeamSyncStatus>().state == TeamSyncStatus::Refused);
    const auto status = statuses.last().first().value<TeamSyncStatus>();
    QVERIFY2(status.text().startsWith(QStringLiteral("Team server: refused: ")),
             qPrintable(status.text()));
    QVERIFY2(status.text().contains(cause), qPrintable(status.text()));
    // Retries back off: 100 ms, 200 ms, 400 ms, ... never faster.
    QTest::qWait(1000);
    const int refusals = int(std::count_if(statuses.cbegin(), statuses.cend(), [](const auto &s) {
        return s.first().template value<TeamSyncStatus>().state == TeamSyncStatus::Refused;
    }));
    QVERIFY2(refusals <= 5, qPrintable(QString::number(refusals)));
}

void TestTeamSync::verifiesTheServer_data()
{
    // %1 is the TLS server's port, %2 the root certificate's file.
    QTest::addColumn<QString>("address");
    // Whether the root certificate is the authority that signed the server's certificate.
    QTest::addColumn<bool>("signer");
    // Empty where the sync goes through.
    QTest::addColumn<QString>("cause");
    QTest::newRow("verify-full") << "host=localhost hostaddr=127.0.0.1 port=%1 user=alice "
                                    "dbname=team sslmode=verify-full sslrootcert=%2"
                                 << true << QString();
    QTest::newRow("verify-full, uri, the address named")
        << "postgresql://alice@127.0.0.1:%1/team?sslmode=verify-full&sslrootcert=%2" << true
        << QString();
    QTest::newRow("a certificate for another host name")
        << "host=db.example hostaddr=127.0.0.1 port=%1 user=alice dbname=team "
           "sslmode=verify-full sslrootcert=%2"
        << true
        << "the server's TLS certificate names another host: server certificate for \"localhost\" "
           "(and "
           "1 other name) does not match host name \"db.example\"";
    QTest::newRow("an unknown authority")
        << "host=localhost hostaddr=127.0.0.1 port=%1 user=alice "
           "dbname=team sslmode=verify-full sslrootcert=%2"
        << false
        << "the server's TLS certificate is not signed by the authority of the root certificate "
           "(sslrootcert), or has expired";
    QTest::newRow("no root certificate")
        << "host=localhost hostaddr=127.0.0.1 port=%1 user=alice dbname=team "
           "sslmode=verify-full sslrootcert=%2.missing"
        << true << "root certificate file \"" + QDir::tempPath();
}

void TestTeamSync::verifiesTheServer()
{
    QFETCH(QString, address);
    QFETCH(bool, signer);
    QFETCH(QString, cause);
    if (!tlsServer) {
        tlsServer = std::make_unique<PgTestServer>(PgTestServer::Mode::Tls);
        tlsSkipped = tlsServer->start();
        TeamServer admin(QStringLiteral("admin"));
        QString error;
        if (tlsSkipped.isEmpty() && admin.open(tlsServer->keywords(QStringLiteral("rq_admin")),
                                               &error) != TeamServer::Outcome::Ready)
            tlsSkipped = error;
    }
    if (!tlsSkipped.isEmpty())
        QSKIP(qPrintable(tlsSkipped));
    Logger logger(path);
    logger.items.append(logger.items.add(QStringLiteral("A"), ItemData::MeasureData),
                        manyReadings(100), Micrometre, 1250);
    logger.workspace.commit();
    QSignalSpy statuses(&logger.sync, &TeamSync::statusChanged);
    logger.sync.start(
        path,
        address.arg(tlsServer->port()).arg(signer ? tlsServer->signer() : tlsServer->stranger()));
    if (!cause.isEmpty()) {
        checkRefused(statuses, cause);
        return;
    }
    // The server takes TLS connections only on its address: rows there came through TLS.
    QTRY_VERIFY_WITH_TIMEOUT(!statuses.isEmpty() &&
                                 statuses.last().first().value<TeamSyncStatus>().state ==
                                     TeamSyncStatus::UpToDate,
                             30000);
    const QString uuid = localRows(QStringLiteral("SELECT uuid FROM workspace_identity")).value(0);
    QCOMPARE(tlsServer
                 ->value(QStringLiteral("SELECT COUNT(*) FROM reading r JOIN item i ON i.uuid ="
                                        " r.item WHERE i.workspace = '%1'")
                             .arg(uuid))
                 .toInt(),
             100);
}

void TestTeamSync::rowLevelSecurity_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QString>("statement");
    // The rows the statement affects or returns; -1 for a refusal.
    QTest::addColumn<int>("rows");
    const QString everyItem = QStringLiteral("SELECT * FROM item");
    // Each workspace holds its inspector's item and the gauge's memory.
    QTest::newRow("inspector reads own and team's") << "alice" << everyItem << 4;
    QTest::newRow("other team reads only own") << "carol" << everyItem << 2;
    QTest::newRow("QA reads everything") << "quentin" << everyItem << 6;
    QTest::newRow("team's readings") << "bob"
                                     << "SELECT * FROM reading" << 4;
    QTest::newRow("renames own") << "alice"
                                 << "UPDATE item SET name = 'x' WHERE owner = 'alice'" << 2;
    QTest::newRow("cannot rename colleague's")
        << "alice"
        << "UPDATE item SET name = 'x' WHERE owner = 'bob'" << 0;
    QTest::newRow("cannot delete colleague's readings")
        << "alice"
        << "DELETE FROM reading WHERE owner = 'bob'" << 0;
    QTest::newRow("cannot insert as colleague")
        << "alice"
        << "INSERT INTO reading (item, seq, owner, um_text, mil_text, overload, unit, basis)"
           " SELECT uuid, 100, 'bob', '', '', 0, '', '' FROM item WHERE owner = 'bob'"
        << -1;
    QTest::newRow("cannot take a colleague's item")
        << "alice"
        << "UPDATE item SET owner = 'alice' WHERE owner = 'bob'" << 0;
    QTest::newRow("cannot give own item away")
        << "alice"
        << "UPDATE item SET owner = 'bob' WHERE owner = 'alice'" << -1;
    QTest::newRow("QA cannot change") << "quentin"
                                      << "UPDATE item SET name = 'x'" << -1;
    QTest::newRow("QA cannot delete") << "quentin"
                                      << "DELETE FROM reading" << -1;
    QTest::newRow("inspector cannot change teams") << "alice"
                                                   << "UPDATE team_member SET team = 'south'" << -1;
}

void TestTeamSync::rowLevelSecurity()
{
    QFETCH(QString, role);
    QFETCH(QString, statement);
    QFETCH(int, rows);
    // alice and bob of team north and carol of team south each hold a workspace with their item
    // of two readings and the gauge's memory.
    for (const QString &inspector :
         {QStringLiteral("alice"), QStringLiteral("bob"), QStringLiteral("carol")}) {
        TeamServer writer(QStringLiteral("writer"));
        QString error;
        QCOMPARE(writer.open(server.keywords(inspector), &error), TeamServer::Outcome::Ready);
        WorkspaceReader::Snapshot workspace;
        workspace.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        QVERIFY2(writer.putWorkspace(workspace, &error), qPrintable(error));
        for (int kind : {int(ItemData::MeasureData), int(ItemData::StoreData)}) {
            WorkspaceReader::Item item;
            item.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
            item.kind = kind;
            item.name = inspector;
            QVERIFY2(writer.putItem(workspace.uuid, item, nullptr, &error), qPrintable(error));
            if (kind == ItemData::MeasureData) {
                std::vector<WorkspaceReader::Reading> readings(2);
                readings[1].seq = 1;
                QVERIFY2(writer.putReadings(item.uuid, readings, &error), qPrintable(error));
            }
        }
    }
    QVERIFY(server.exec({QStringLiteral("INSERT INTO team_member VALUES ('alice', 'north'),"
                                        " ('bob', 'north'), ('carol', 'south')")}));

    int affected = -1;
    QString error;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("role"));
        db.setConnectOptions(server.keywords(role));
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        QSqlQuery query(db);
        if (query.exec(statement)) {
            affected = query.isSelect() ? query.size() : query.numRowsAffected();
        } else {
            error = query.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("role"));
    QVERIFY2(affected == rows, qPrintable(QStringLiteral("%1 rows; %2").arg(affected).arg(error)));
}

std::unique_ptr<Logger> TestTeamSync::syncedLogger(const QString &role, const QString &file,
                                                   const QString &name, int readings)
{
    auto logger = std::make_unique<Logger>(file);
    JobDetails job;
    job.setValue(JobDetails::Project, QStringLiteral("Job of %1").arg(role));
    logger->items.setJobDetails(job);
    ItemData *item = logger->items.add(name, ItemData::MeasureData);
    logger->items.append(item, manyReadings(readings), Micrometre, 1250);
    logger->workspace.commit();
    QSignalSpy statuses(&logger->sync, &TeamSync::statusChanged);
    logger->sync.start(file, server.keywords(role));
    if (!waitUpToDate(statuses, file))
        return nullptr;
    return logger;
}

void TestTeamSync::readsTheTeam_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("ownLeftOut");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("inspector: the team but the own workspace")
        << "alice" << true << QStringList{"bob|Job of bob|B|30"};
    QTest::newRow("inspector without a workspace: the team")
        << "alice" << false << QStringList{"alice|Job of alice|A|20", "bob|Job of bob|B|30"};
    QTest::newRow("other team: nothing of north") << "carol" << true << QStringList{};
    QTest::newRow("QA: everyone") << "quentin" << false
                                  << QStringList{"alice|Job of alice|A|20", "bob|Job of bob|B|30",
                                                 "carol|Job of carol|C|10"};
}

void TestTeamSync::readsTheTeam()
{
    QFETCH(QString, role);
    QFETCH(bool, ownLeftOut);
    QFETCH(QStringList, shown);
    QVERIFY(server.exec({QStringLiteral("INSERT INTO team_member VALUES ('alice', 'north'),"
                                        " ('bob', 'north'), ('carol', 'south')")}));
    const QHash<QString, QPair<QString, int>> loggers = {
        {QStringLiteral("alice"), {QStringLiteral("A"), 20}},
        {QStringLiteral("bob"), {QStringLiteral("B"), 30}},
        {QStringLiteral("carol"), {QStringLiteral("C"), 10}}};
    std::vector<std::unique_ptr<Logger>> running;
    for (auto it = loggers.cbegin(); it != loggers.cend(); ++it) {
        running.push_back(syncedLogger(it.key(), dir->filePath(it.key() + ".sqlite"),
                                       it.value().first, it.value().second));
        QVERIFY(running.back());
    }
    TeamReader reader;
    QSignalSpy listed(&reader, &TeamReader::listed);
    reader.start(ownLeftOut ? dir->filePath(role + ".sqlite") : QString(), server.keywords(role));
    QTRY_VERIFY_WITH_TIMEOUT(!listed.isEmpty(), 30000);
    QStringList rows;
    for (const TeamItem &item : listed.first().first().value<QList<TeamItem>>())
        rows << QStringLiteral("%1|%2|%3|%4")
                    .arg(item.owner, item.job, item.name)
                    .arg(item.readings);
    QCOMPARE(rows, shown);
}

void TestTeamSync::followsTheTeam()
{
    QVERIFY(server.exec({QStringLiteral("INSERT INTO team_member VALUES ('alice', 'north'),"
                                        " ('bob', 'north')")}));
    std::unique_ptr<Logger> bob =
        syncedLogger(QStringLiteral("bob"), dir->filePath("bob.sqlite"), QStringLiteral("B"),
                     TeamReaderWorker::PartSize * 2 + 5);
    QVERIFY(bob);
    // Only the server's word can tell this reader of the new readings: its poll is far off.
    TeamReader reader;
    reader.setPollInterval(600000);
    QSignalSpy listed(&reader, &TeamReader::listed);
    QSignalSpy fetched(&reader, &TeamReader::fetched);
    reader.start(path, server.keywords(QStringLiteral("alice")));
    QTRY_VERIFY_WITH_TIMEOUT(!listed.isEmpty(), 30000);
    const TeamItem item = listed.last().first().value<QList<TeamItem>>().value(0);
    QCOMPARE(item.readings, TeamReaderWorker::PartSize * 2 + 5);

    // A large item arrives in parts, in order, the last one marked.
    reader.fetch(item.uuid, 0);
    QTRY_COMPARE_WITH_TIMEOUT(fetched.size(), 3, 30000);
    QList<int> parts;
    for (const QList<QVariant> &signal : qAsConst(fetched)) {
        const auto part = signal.first().value<TeamReadings>();
        QCOMPARE(part.first, parts.isEmpty() ? 0 : TeamReaderWorker::PartSize * parts.size());
        QCOMPARE(part.last, parts.size() == 2);
        parts << int(part.rows.size());
    }
    QCOMPARE(parts, (QList<int>{TeamReaderWorker::PartSize, TeamReaderWorker::PartSize, 5}));

    // A colleague's new reading is announced; a fetch from where the item ended brings it alone.
    listed.clear();
    bob->items.append(bob->items.items().first(), manyReadings(1, 7), Micrometre, 1250);
    bob->workspace.commit();
    QTRY_VERIFY_WITH_TIMEOUT(!listed.isEmpty() &&
                                 listed.last().first().value<QList<TeamItem>>().value(0).readings ==
                                     item.readings + 1,
                             30000);
    fetched.clear();
    reader.fetch(item.uuid, item.readings);
    QTRY_COMPARE_WITH_TIMEOUT(fetched.size(), 1, 30000);
    QCOMPARE(fetched.first().first().value<TeamReadings>().rows.size(), size_t(1));

    // A change that no sync announced is found by the slow poll.
    reader.stop();
    reader.setPollInterval(200);
    reader.start(path, server.keywords(QStringLiteral("alice")));
    QVERIFY(server.exec({QStringLiteral("UPDATE item SET name = 'B polled'")}));
    QTRY_VERIFY_WITH_TIMEOUT(
        listed.last().first().value<QList<TeamItem>>().value(0).name == "B polled", 30000);
}

void TestTeamSync::readerFailures_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("before");
    // The status text begins with prefix and holds cause, the server's words.
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("cause");
    QTest::newRow("no server") << "host=/nonexistent port=1 user=alice dbname=team" << QString()
                               << "Team branch: not up to date, retrying in 5 s" << QString();
    QTest::newRow("unknown role") << "mallory" << QString() << "Team branch: refused: "
                                  << "role \"mallory\" does not exist";
    // Nothing is tried: without keywords the client library would pick a server itself.
    QTest::newRow("password in the address")
        << "host=/nonexistent user=alice password=secret dbname=team" << QString()
        << "Team branch: refused: " << TeamAddress::passwordRefusal();
    QTest::newRow("newer schema")
        << "alice"
        << "UPDATE logger_schema SET version = 99"
        << QStringLiteral("Team branch: stopped: the server's tables were made by a newer logger "
                          "(version 99, this logger knows %1)")
               .arg(TeamSchema::Version)
        << QString();
}

void TestTeamSync::readerFailures()
{
    QFETCH(QString, address);
    QFETCH(QString, before);
    QFETCH(QString, prefix);
    QFETCH(QString, cause);
    if (!before.isEmpty())
        QVERIFY(server.exec({before}));
    TeamReader reader;
    QSignalSpy statuses(&reader, &TeamReader::statusChanged);
    reader.start(QString(),
                 address.contains(QLatin1Char('=')) ? address : server.keywords(address));
    QTRY_VERIFY_WITH_TIMEOUT(!statuses.isEmpty(), 30000);
    const QString text = statuses.first().first().value<TeamReaderStatus>().text();
    QVERIFY2(text.startsWith(prefix) && text.contains(cause), qPrintable(text));
}

QTEST_MAIN(TestTeamSync)
#include "tst_teamsync.moc"
