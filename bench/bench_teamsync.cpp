// Prints what the sync to a team server costs, against a PostgreSQL server of its own in a
// temporary folder (as the tests start it): the throughput of the sync of an item of a million
// readings, the delay from a reading taken on one logger to its row in another logger's Team
// branch, and the window thread's time per live reading with and without a sync running.
//
// Usage: bench_teamsync [readings]

#include <cstdio>
#include <ctime>

#include <functional>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTreeView>

#include "benchsupport.h"
#include "itemdata.h"
#include "itemstore.h"
#include "itemtree.h"
#include "pgtestserver.h"
#include "teambranch.h"
#include "teamlogger.h"
#include "teamserver.h"
#include "teamsync.h"

namespace {

const QString Micrometre = QStringLiteral("\u03BCm");

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
bench::Figures liveLatency(TeamLogger &logger, ItemData *item, int count)
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
    QApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000000;
    PgTestServer server(PgTestServer::Mode::Durable);
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
    TeamLogger alice(path);
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

    // A colleague's logger shows the item in its Team branch and follows its readings.
    server.exec({QStringLiteral("INSERT INTO team_member VALUES ('alice', 'north'),"
                                " ('bob', 'north')")});
    const QString uuid =
        server.value(QStringLiteral("SELECT uuid::text FROM item WHERE name = 'Long'")).toString();
    ItemStore bob;
    QTreeView view;
    ItemTree tree(&view, &bob, nullptr);
    TeamBranch branch(&tree, &bob, nullptr);
    branch.setAddress(server.keywords(QStringLiteral("bob")), QString());
    const auto waitFor = [](const std::function<bool()> &done) {
        QElapsedTimer waited;
        waited.start();
        // Looked at every 5 ms, sleeping in the event loop between.
        while (!done() && waited.elapsed() < 600000) {
            QEventLoop loop;
            QTimer::singleShot(5, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return done();
    };
    if (!waitFor([&] { return branch.item(uuid) != nullptr; })) {
        std::printf("the item never reached the Team branch\n");
        return 1;
    }
    ItemData *shown = branch.item(uuid);
    clock.restart();
    bob.activate(shown);
    waitFor([&] { return shown->readings().size() == item->readings().size(); });
    std::printf("the item of %d readings fetched into the Team branch: %.1f s\n",
                shown->readings().size(), clock.nsecsElapsed() / 1e9);
    std::vector<double> delays;
    for (int n = 0; n < 50; ++n) {
        const qint64 taken = clock.nsecsElapsed();
        alice.items.append(item, bench::makeReading(120, QDateTime::currentDateTime()), Micrometre,
                           1250);
        if (waitFor([&] { return shown->readings().size() == item->readings().size(); }))
            delays.push_back((clock.nsecsElapsed() - taken) / 1e6);
        QThread::msleep(100);
    }
    const bench::Figures delay = bench::summarise(delays);
    std::printf("a reading on one logger to its row in another logger's Team branch, %d readings:"
                " median %.0f ms, 90%% %.0f ms, worst %.0f ms (goal: median under 1 s)\n",
                int(delays.size()), delay.median, delay.p90, delay.worst);

    const bench::Figures syncing = liveLatency(alice, item, 2000);
    alice.sync.stop();
    const bench::Figures alone = liveLatency(alice, item, 2000);
    std::printf("window thread per live reading, median / 90%% / worst: syncing %.1f / %.1f / "
                "%.0f us, not syncing %.1f / %.1f / %.0f us\n",
                syncing.median, syncing.p90, syncing.worst, alone.median, alone.p90, alone.worst);
    return 0;
}
