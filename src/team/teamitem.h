#pragma once

#include <vector>

#include <QList>
#include <QMetaType>
#include <QString>
#include <QVector>

#include "itemrow.h"
#include "workspaceconnection.h"

// A colleague's item as the team server holds it, with whose it is and the job it belongs to;
// its photos are not summed up.
struct TeamItem : ItemRow
{
    // The role that wrote it: the inspector.
    QString owner;
    QString job;
    // Counted up by the server at every change of readings it held, and of their exclusions or
    // their trail; readings added at the end leave both as they are.
    qint64 readingRevision = 0;
    qint64 exclusionRevision = 0;
};

// A part of a team item's readings, from seq first on; last is set on the part that ends a fetch.
struct TeamReadings
{
    QString item;
    int first = 0;
    bool last = false;
    // False on the part that ends a fetch the server broke off.
    bool ok = true;
    std::vector<WorkspaceConnection::Reading> rows;
    // With the part from seq 0: the item's exclusion trail.
    QVector<ExclusionEvent> trail;
};

// Why each of a team item's readings is excluded, by seq (empty for one that counts; those past
// the end count), as the server holds them; ok is false when it could not be read.
struct TeamExclusions
{
    QString item;
    bool ok = false;
    QVector<QString> reasons;
    QVector<ExclusionEvent> trail;
};

Q_DECLARE_METATYPE(QList<TeamItem>)
Q_DECLARE_METATYPE(TeamReadings)
Q_DECLARE_METATYPE(TeamExclusions)
