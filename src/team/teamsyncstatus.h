#pragma once

#include <QCoreApplication>
#include <QMetaType>
#include <QString>

// Where a sync to the team server stands, and its text for the status bar.
class TeamSyncStatus
{
    Q_DECLARE_TR_FUNCTIONS(TeamSyncStatus)

public:
    enum State {
        Connecting,
        Sending,
        UpToDate,
        // The server could not be reached or was lost; a retry follows.
        Waiting,
        // The server refused the role or its password; a retry follows, as slowly.
        Refused,
        // The server's tables are newer than this logger knows: no sync until it is updated.
        Stopped
    };

    State state = Connecting;
    // Readings in the workspace that the server does not hold yet; -1 while unknown.
    qint64 waiting = -1;
    int retrySeconds = 0;
    // The server's or the system's own words for a failure, or the newer version for Stopped.
    QString detail;

    QString text() const;
};

Q_DECLARE_METATYPE(TeamSyncStatus)
