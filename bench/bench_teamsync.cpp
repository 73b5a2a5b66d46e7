// Prints what the sync to a team server costs, against a PostgreSQL server of its own in a
// temporary folder (as the tests start it): the throughput of the sync of an item of a million
// readings, the delay from a reading taken to its row on the server and the notification a
// colleague's logger receives, and the window thread's time per live reading with and without a
// sync running.
//
// Usage: bench_teamsync [readings]

#include <cstdio>
#include <ctime>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "benchsupport.h"
#include "common/pgtestserver.h"
#include "itemdata.h"
#include "itemstore.h"
#include "teamschema.h"
#include "teamserver.h"
#include "teamsync.h"
#include "workspace.h"

namespace {

const QString Micrometre = QStringLiteral("\u03BCm");

struct Logger
{
    explicit Logger(const QString &path)
    {
        workspace.open(path);
        workspace.follow(&items);
        ItemData *active = nullptr;
        items.adopt(workspace.restore(items.storeData(), &active));
        QObject::connect(&workspace, &Workspace::committed, &sync, &TeamSync::wake);
    }

    ItemStore items;
    Workspace workspace;
    TeamSync sync;
};

// Runs the event loop until the sync reports the server up to date.
void waitUpToDate(TeamSync &sync)
{
    QEventLoop loop;
    const auto connection =
        QObject::connect(&sync, &TeamSync::statusChanged, &loop, [&loop](const TeamSyncStatus &s) {
            if (s.state == TeamSyncStatus::UpToDate)
                loop.quit();
        });
    loop.exec();
    QObject::disconnect(connection);
}

// The window thread's time per live reading: the item store's append and the workspace's hook.
bench::Figures liveLatency(Logger &logger, ItemData *item, int count)
{
    std::vector<double> times;
    QElapsedTimer clock;
    for (int n = 0; n < count; ++n) {
        DmmData *reading = bench::makeReading(100 + n % 50, QDateTime::currentDateTime());
        clock.start();
        logger.items.append(item, reading, Micrometre, 1250);
        times.push_back(clock.nsecsElapsed() / 1e3);
        QCoreApplication::processEvents();
        QThread::usleep(2000);
    }
    return bench::summarise(times);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000000;
    PgTestServer server(true);
    const QString why = server.start();
    if (!why.isEmpty()) {
        std::printf("no server: %s\n", qPrintable(why));
        return 1;
    }
    {
        TeamServer admin(QStringLiteral("admin"));
        QString error;
        if (admin.open(server.keywords(QStringLiteral("rq_admin")), &error) !=
            TeamServer::Outcome::Ready) {
            std::printf("the tables cannot be made: %s\n", qPrintable(error));
            return 1;
        }
    }
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("alice.sqlite"));
    Logger alice(path);
    ItemData *item = alice.items.add(QStringLiteral("Long"), ItemData::MeasureData);
    {
        QList<DmmData *> readings;
        const QDateTime base = QDateTime::currentDateTime();
        for (int n = 0; n < count; ++n)
            readings.append(bench::makeReading(100 + n % 50, base.addMSecs(n)));
        alice.items.append(item, readings, Micrometre, 1250);
        alice.workspace.commit();
    }

    QElapsedTimer clock;
    clock.start();
    const std::clock_t cpu = std::clock();
    alice.sync.start(path, server.keywords(QStringLiteral("alice")));
    waitUpToDate(alice.sync);
    const double seconds = clock.nsecsElapsed() / 1e9;
    // On a shared machine the wall clock measures the other programs too; the logger's own CPU
    // time tells its share.
    const double cpuSeconds = double(std::clock() - cpu) / CLOCKS_PER_SEC;
    std::printf("sync of an item of %d readings to a local server: %.1f s, %.0f readings/s "
                "(goal: at least 20000); the logger's CPU time %.1f s\n",
                count, seconds, count / seconds, cpuSeconds);
    std::fflush(stdout);

    // A colleague's logger listens on the channel the sync notifies after each batch.
    QSqlDatabase listener = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), "listener");
    listener.setConnectOptions(server.keywords(QStringLiteral("bob")));
    listener.open();
    listener.driver()->subscribeToNotification(QLatin1String(TeamSchema::Channel));
    std::vector<double> delays;
    qint64 taken = 0;
    QObject::connect(
        listener.driver(),
        QOverload<const QString &, QSqlDriver::NotificationSource, const QVariant &>::of(
            &QSqlDriver::notification),
        [&](const QString &, QSqlDriver::NotificationSource, const QVariant &) {
            if (taken > 0)
                delays.push_back((clock.nsecsElapsed() - taken) / 1e6);
            taken = 0;
        });
    for (int n = 0; n < 50; ++n) {
        taken = clock.nsecsElapsed();
        alice.items.append(item, bench::makeReading(120, QDateTime::currentDateTime()), Micrometre,
                           1250);
        QEventLoop loop;
        QTimer::singleShot(400, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const bench::Figures delay = bench::summarise(delays);
    std::printf("a reading to its row on the server and the team's notification, %d readings: "
                "median %.0f ms, 90%% %.0f ms, worst %.0f ms (goal: median under 1 s)\n",
                int(delays.size()), delay.median, delay.p90, delay.worst);

    const bench::Figures syncing = liveLatency(alice, item, 2000);
    alice.sync.stop();
    const bench::Figures alone = liveLatency(alice, item, 2000);
    std::printf("window thread per live reading, median / 90%% / worst: syncing %.1f / %.1f / "
                "%.0f us, not syncing %.1f / %.1f / %.0f us\n",
                syncing.median, syncing.p90, syncing.worst, alone.median, alone.p90, alone.worst);
    listener.close();
    return 0;
}
