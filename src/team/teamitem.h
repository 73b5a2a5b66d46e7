#pragma once

#include <vector>

#include <QList>
#include <QMetaType>
#include <QString>

#include "workspacereader.h"

// A colleague's item as the team server holds it, with whose it is and the job it belongs to.
struct TeamItem
{
    QString uuid;
    // The role that wrote it: the inspector.
    QString owner;
    QString job;
    QString name;
    QString unit;
    QString requirement;
    double rangeUm = 0.0;
    // The readings the server holds: seq runs from 0 to readings - 1.
    int readings = 0;
    // Entries of its exclusion trail; a change means readings were excluded or included again.
    int exclusionEvents = 0;
};

// A part of a team item's readings, from seq first on; last is set on the part that ends a fetch.
struct TeamReadings
{
    QString item;
    int first = 0;
    bool last = false;
    std::vector<WorkspaceReader::Reading> rows;
};

Q_DECLARE_METATYPE(QList<TeamItem>)
Q_DECLARE_METATYPE(TeamReadings)
