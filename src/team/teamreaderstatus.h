#pragma once

#include <QCoreApplication>
#include <QMetaType>
#include <QString>

// Where the reading of the team's items from the team server stands, and its text for the status
// bar while it fails.
class TeamReaderStatus
{
    Q_DECLARE_TR_FUNCTIONS(TeamReaderStatus)

public:
    enum State {
        UpToDate,
        // The server could not be reached or was lost; a retry follows.
        Waiting,
        // The server refused the role, and a retry follows as slowly; or the address could not be
        // taken, and nothing is read.
        Refused,
        // The server's tables are newer than this logger knows: nothing more is read.
        Stopped
    };

    State state = UpToDate;
    int retrySeconds = 0;
    // The server's or the system's own words for a failure, or the newer version for Stopped.
    QString detail;

    // Empty while up to date.
    QString text() const;
    // Why nothing is read from a server whose tables are of version: for the status and for
    // whoever asked for readings.
    static QString newer(const QString &version);
};

Q_DECLARE_METATYPE(TeamReaderStatus)
