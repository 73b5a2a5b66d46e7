#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include "itemdata.h"
#include "workspace.h"

namespace {

// The system's monotonic clock, the same in every process.
qint64 monotonicMs()
{
    QElapsedTimer clock;
    clock.start();
    return clock.msecsSinceReference();
}

// A reading may wait this long before it must be safe on disk.
constexpr qint64 SafeAfterMs = 250;

struct Arrival
{
    qint64 ms;
    int count;
};

} // namespace

// Starts the logger's real window with the simulated gauge in a child process, kills it with
// SIGKILL in the middle of an acquisition or a download, and checks the workspace it leaves.
class TestWorkspaceKill : public QObject
{
    Q_OBJECT

private slots:
    void killedLoggerLosesNothingOlderThanAQuarterSecond_data();
    void killedLoggerLosesNothingOlderThanAQuarterSecond();
};

void TestWorkspaceKill::killedLoggerLosesNothingOlderThanAQuarterSecond_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("killAfter");
    QTest::addColumn<int>("kind");
    QTest::newRow("live, first readings") << "live" << 3 << int(ItemData::MeasureData);
    QTest::newRow("live, a few seconds in") << "live" << 250 << int(ItemData::MeasureData);
    // Each reading is excluded as it arrives: the exclusions are kept as the readings are.
    QTest::newRow("exclusions, a few seconds in") << "exclude" << 250 << int(ItemData::MeasureData);
    QTest::newRow("download of 100000, early") << "download" << 5000 << int(ItemData::StoreData);
    QTest::newRow("download of 100000, midway") << "download" << 40000 << int(ItemData::StoreData);
}

void TestWorkspaceKill::killedLoggerLosesNothingOlderThanAQuarterSecond()
{
    QFETCH(QString, mode);
    QFETCH(int, killAfter);
    QFETCH(int, kind);

    const QString program = QStringLiteral(KILLABLE_LOGGER);
    {
        QSettings ini(QFileInfo(program).absolutePath() + QStringLiteral("/Lib/simgauge.ini"),
                      QSettings::IniFormat);
        ini.setValue(QStringLiteral("intervalMs"), 10);
        ini.setValue(QStringLiteral("storedReadings"), 100000);
        ini.setValue(QStringLiteral("overloadEvery"), 50);
        ini.setValue(QStringLiteral("seed"), 6814);
    }
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("workspace.sqlite"));

    QProcess logger;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("RQ6814_WORKSPACE"), path);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    logger.setProcessEnvironment(environment);
    logger.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    logger.start(program, {mode});
    QVERIFY2(logger.waitForStarted(), qPrintable(logger.errorString()));

    QList<Arrival> arrivals;
    QByteArray pending;
    const auto readArrivals = [&] {
        pending += logger.readAllStandardOutput();
        int end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QList<QByteArray> fields = pending.left(end).split(' ');
            pending.remove(0, end + 1);
            if (fields.size() == 2)
                arrivals.append({fields.at(0).toLongLong(), fields.at(1).toInt()});
        }
    };
    QElapsedTimer waited;
    waited.start();
    while ((arrivals.isEmpty() || arrivals.last().count < killAfter) &&
           logger.state() == QProcess::Running && waited.elapsed() < 60000) {
        logger.waitForReadyRead(100);
        readArrivals();
    }
    QCOMPARE(logger.state(), QProcess::Running);
    const qint64 killedAt = monotonicMs();
    logger.kill();
    QVERIFY(logger.waitForFinished());
    QCOMPARE(logger.exitStatus(), QProcess::CrashExit);
    readArrivals();
    QVERIFY(arrivals.size() >= killAfter);

    int mustHave = 0;
    for (const Arrival &arrival : qAsConst(arrivals)) {
        if (arrival.ms <= killedAt - SafeAfterMs)
            mustHave = arrival.count;
    }

    int kept = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "killed");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec(QStringLiteral("PRAGMA integrity_check")) && query.next());
        QCOMPARE(query.value(0).toString(), QStringLiteral("ok"));
        QVERIFY(query.exec(QStringLiteral("SELECT COUNT(*) FROM reading r JOIN item i ON i.id = "
                                          "r.item_id WHERE i.kind = %1")
                               .arg(kind)));
        QVERIFY(query.next());
        kept = query.value(0).toInt();
        if (mode == QLatin1String("exclude")) {
            QVERIFY(query.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM reading WHERE "
                                              "exclusion <> ''), (SELECT COUNT(*) FROM "
                                              "reading_exclusion)")));
            QVERIFY(query.next());
            qInfo("%d readings excluded on disk, %d in the trail", query.value(0).toInt(),
                  query.value(1).toInt());
            QVERIFY(query.value(0).toInt() >= mustHave);
            QCOMPARE(query.value(1).toInt(), query.value(0).toInt());
        }
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("killed"));
    qInfo("%d readings taken, %d of them more than %lld ms before the kill, %d kept",
          arrivals.last().count, mustHave, SafeAfterMs, kept);
    QVERIFY(kept >= mustHave);
    QVERIFY(kept <= arrivals.last().count + 1);

    // The lock the killed logger left is stale: the next logger opens the workspace and has them.
    Workspace workspace;
    workspace.open(path);
    QVERIFY(workspace.isSaving());
    ItemData store(QStringLiteral("Store Data"), ItemData::StoreData);
    ItemData *active = nullptr;
    const QList<ItemData *> items = workspace.restore(&store, &active);
    // A logger killed within its first commit has not yet written its first item either.
    ItemData *item = kind == ItemData::StoreData ? &store : items.value(0);
    QVERIFY(item || kept == 0);
    if (item) {
        workspace.itemActivated(item);
        QCOMPARE(item->readings().size(), kept);
    }
    qDeleteAll(items);
}

QTEST_GUILESS_MAIN(TestWorkspaceKill)
#include "tst_workspacekill.moc"
