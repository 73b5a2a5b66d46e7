// Prints what the workspace store costs without a window: writing readings one hook call at a
// time as the window does during a download, and reading an item back on activation.
//
// Usage: bench_workspace [readings [workspace]]: the workspace file is kept when it is named.

#include <cstdio>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include "benchsupport.h"
#include "dmmdata.h"
#include "itemdata.h"
#include "workspace.h"

namespace {

DmmData *makeReading(int n, const QDateTime &time)
{
    return bench::makeReading(100 + n % 50, time);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QTemporaryDir folder;
    const QString path = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                  : folder.filePath(QStringLiteral("workspace.sqlite"));

    QList<DmmData *> readings;
    const QDateTime base = QDateTime::currentDateTime();
    for (int n = 0; n < count; ++n)
        readings.append(makeReading(n, base.addSecs(n)));

    {
        Workspace workspace;
        workspace.open(path);
        ItemData store(QStringLiteral("Store Data"), ItemData::StoreData);
        ItemData *active = nullptr;
        qDeleteAll(workspace.restore(&store, &active));
        workspace.itemActivated(&store);
        QElapsedTimer timer;
        timer.start();
        qint64 hooks = 0;
        for (DmmData *reading : qAsConst(readings)) {
            store.appendReading(reading, true);
            const qint64 before = timer.nsecsElapsed();
            workspace.itemChanged(&store);
            hooks += timer.nsecsElapsed() - before;
        }
        workspace.commit();
        const double seconds = timer.nsecsElapsed() / 1e9;
        std::printf("write %d readings one at a time: %.2f s until all are on disk; the window's "
                    "thread spends %.2f us per reading in the hook\n",
                    count, seconds, hooks / 1e3 / count);
    }
    {
        Workspace workspace;
        workspace.open(path);
        ItemData store(QStringLiteral("Store Data"), ItemData::StoreData);
        ItemData *active = nullptr;
        qDeleteAll(workspace.restore(&store, &active));
        QElapsedTimer timer;
        timer.start();
        workspace.itemActivated(&store);
        const double seconds = timer.nsecsElapsed() / 1e9;
        std::printf("read %d readings back: %.2f s, %.1f us per reading\n",
                    int(store.readings().size()), seconds, seconds * 1e6 / count);
    }
    return 0;
}
