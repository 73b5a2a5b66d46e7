#pragma once

#include <vector>

#include <QList>
#include <QString>
#include <QVector>

#include "workspaceconnection.h"

class DmmData;
class QSqlQuery;

// A reading as a database row keeps it, in the workspace and on a team server alike: the time as
// milliseconds and its offset, NaN as NULL, and why the reading is excluded.
class StoredReading
{
public:
    // The readings of rows as the window keeps them, new and owned by the caller, with the reason
    // of each excluded one by index; shorter, or empty, when the last ones count.
    struct Loaded
    {
        QList<DmmData *> readings;
        QVector<QString> exclusions;
    };

    // From the columns time_ms, time_offset, um_value, mil_value, um_text, mil_text, overload,
    // unit, basis and exclusion, in that order from column first on.
    static WorkspaceConnection::Reading fromQuery(const QSqlQuery &query, int first);
    static Loaded toReadings(const std::vector<WorkspaceConnection::Reading> &rows);
};
