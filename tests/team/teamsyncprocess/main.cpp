// A sync of a workspace to a team server in a process of its own, so that a test can kill it in
// the middle: arguments are the workspace file and the server's address. Prints each status text
// on a line of its own and ends with exit code 0 once the server is up to date.

#include <cstdio>

#include <QCoreApplication>

#include "teamsync.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3)
        return 2;
    TeamSync sync;
    sync.setRetryDelays(100, 1000);
    QObject::connect(&sync, &TeamSync::statusChanged, &app, [&app](const TeamSyncStatus &status) {
        std::printf("%s\n", qPrintable(status.text()));
        std::fflush(stdout);
        if (status.state == TeamSyncStatus::UpToDate)
            app.exit(0);
    });
    sync.start(arguments.at(1), arguments.at(2));
    return app.exec();
}
