#pragma once

#include <QString>

class QSqlQuery;

// An item as a database row keeps it, in the workspace and on a team server alike, with the
// counts of its readings and of its exclusion trail.
struct ItemRow
{
    QString uuid;
    int kind = 0;
    QString name;
    QString unit;
    // The place in the tree.
    qint64 position = 0;
    QString requirement;
    double rangeUm = 0.0;
    QString notes;
    qint64 createdMs = 0;
    int createdOffset = 0;
    // The photos' names and sizes in their order, "name:size" joined by '/': two items whose
    // summaries match hold the same photos as far as a sync can tell without their bytes.
    QString photos;
    // Readings kept: seq runs from 0 to readings - 1.
    int readings = 0;
    // Entries of the exclusion trail: event runs from 0 to exclusionEvents - 1.
    int exclusionEvents = 0;

    // Takes the columns uuid, kind, name, unit, position, created_ms, created_offset,
    // requirement, range_um, notes, the largest seq of its readings (NULL for none) and the count
    // of its trail's entries, in that order from column first on; the photos are left as they are.
    void read(const QSqlQuery &query, int first);
    static constexpr int Columns = 12;

    void addPhoto(const QString &name, qint64 size);
};
