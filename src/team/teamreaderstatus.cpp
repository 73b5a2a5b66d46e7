#include "teamreaderstatus.h"

#include "teamschema.h"

QString TeamReaderStatus::text() const
{
    switch (state) {
    case UpToDate:
        return QString();
    case Waiting:
        return tr("Team branch: not up to date, retrying in %1 s").arg(retrySeconds);
    case Refused:
        return tr("Team branch: refused: %1").arg(detail);
    case Stopped:
        return tr("Team branch: stopped: %1").arg(newer(detail));
    }
    return QString();
}

QString TeamReaderStatus::newer(const QString &version)
{
    return tr("the server's tables were made by a newer logger (version %1, this logger knows %2)")
        .arg(version)
        .arg(TeamSchema::Version);
}
