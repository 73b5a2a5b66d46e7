#include "teamsyncstatus.h"

#include "teamschema.h"

QString TeamSyncStatus::text() const
{
    switch (state) {
    case Connecting:
        return tr("Team server: connecting");
    case Sending:
        return waiting < 0 ? tr("Team server: sending")
                           : tr("Team server: %L1 readings waiting").arg(waiting);
    case UpToDate:
        return tr("Team server: up to date");
    case Waiting:
        return waiting < 0 ? tr("Team server: not synced, retrying in %1 s").arg(retrySeconds)
                           : tr("Team server: %L1 readings waiting, retrying in %2 s")
                                 .arg(waiting)
                                 .arg(retrySeconds);
    case Refused:
        return tr("Team server: refused: %1").arg(detail);
    case Stopped:
        return tr("Team server: stopped: the server's tables were made by a newer logger (version "
                  "%1, this logger knows %2); the readings stay in this workspace")
            .arg(detail)
            .arg(TeamSchema::Version);
    }
    return QString();
}
