#pragma once

#include <vector>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVector>

#include "exclusionevent.h"
#include "itemrow.h"

class QSqlQuery;

// A second, read-only look at a workspace file, for a reader on a thread of its own while the
// logger writes (SQLite's write-ahead log lets both run at once). It sees what was committed, the
// rows as they are stored: times as milliseconds and offsets, NaN as NULL.
class WorkspaceReader
{
public:
    struct Photo
    {
        QString name;
        QByteArray bytes;
    };

    // An item with its row's id, which the reader's other calls take.
    struct Item : ItemRow
    {
        qint64 id = 0;
    };

    struct Snapshot
    {
        QString uuid;
        QHash<QString, QString> jobDetails;
        QByteArray logo;
        // In tree order.
        QList<Item> items;
    };

    struct Reading
    {
        int seq = 0;
        // Null for a reading without a time.
        QVariant timeMs;
        QVariant timeOffset;
        QVariant umValue;
        QVariant milValue;
        QString umText;
        QString milText;
        int overload = 0;
        QString unit;
        QString basis;
        // Why the reading was excluded; empty for one that counts.
        QString exclusion;
    };

    // A reading from a row of seq, time_ms, time_offset, um_value, mil_value, um_text, mil_text,
    // overload, unit, basis and exclusion, in that order.
    static Reading readingFrom(const QSqlQuery &query);
    // An entry of a trail from a row of seq, excluded, reason, who, time_ms and time_offset.
    static ExclusionEvent eventFrom(const QSqlQuery &query);

    // name is the Qt connection's name, unique in the process.
    explicit WorkspaceReader(const QString &name);
    ~WorkspaceReader();
    WorkspaceReader(const WorkspaceReader &) = delete;
    WorkspaceReader &operator=(const WorkspaceReader &) = delete;

    bool open(const QString &path, QString *error);
    bool isOpen() const;
    void close();

    bool snapshot(Snapshot *snapshot, QString *error);
    bool photos(qint64 item, QList<Photo> *photos, QString *error);
    // Up to limit readings of the item from seq first on, in order.
    bool readings(qint64 item, int first, int limit, std::vector<Reading> *readings,
                  QString *error);

    // The entries of the item's exclusion trail from event first on, in order.
    bool exclusionTrail(qint64 item, int first, QVector<ExclusionEvent> *events, QString *error);

private:
    QString m_name;
    QSqlDatabase m_db;
};
