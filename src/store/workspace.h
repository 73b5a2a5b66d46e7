#pragma once

#include <memory>

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

#include "igaugerange.h"
#include "itemnotes.h"
#include "jobdetails.h"

class DmmData;
class ItemData;
class ItemStore;
class QLockFile;
class WorkspaceConnection;

// The logger's workspace: every item and every reading, the items' notes and the job's details,
// kept in one SQLite database so that nothing is lost when the window closes or the process dies.
// The window's items stay the working copy and the workspace follows them through the hooks below.
// A hook hands its change to the database's own thread and returns; the change is on disk a
// fraction of a second later. The items of an earlier session come back with their coating
// requirements and notes but without their readings, which are read when an item is first
// activated; from then on they stay in memory like those of new items. With an item store followed,
// activation reads them in parts in the background, handed to the store as they come, so that a
// large item keeps nobody waiting.
//
// Faults never stop the logger. A damaged file is moved aside and a new workspace started. A
// workspace from a newer logger, one in use by another logger, or a file or disk that cannot be
// written leave the logger running in memory (isSaving() false). Each case emits message() once.
class Workspace : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(Workspace)

public:
    explicit Workspace(QObject *parent = nullptr);
    ~Workspace() override;

    // The file RQ6814_WORKSPACE names, or workspace.sqlite in the user's data folder.
    static QString defaultPath();

    enum DamagedFile { MoveAside, LeaveDamaged };

    // A damaged file is moved aside and a new workspace started, or left as it is while the
    // logger runs in memory.
    void open(const QString &path, DamagedFile damaged = MoveAside);
    // Opens the workspace for reading only, as a logger that must not change it: nothing is
    // locked, moved aside or written, and the hooks below write nothing. False, after message(),
    // when the file cannot be read as a workspace of this version.
    bool read(const QString &path);
    bool isSaving() const { return m_saving; }
    QString path() const { return m_path; }

    // Takes storeItem as the workspace's stored-data item and returns the stored measurement and
    // import items in tree order; the caller owns them. *active is the item that was active, or
    // nullptr. Readings are read when an item is activated.
    QList<ItemData *> restore(ItemData *storeItem, ItemData **active);
    // The job's details as they were kept; none when not saving. Handing them to the followed
    // item store writes nothing.
    JobDetails restoreJobDetails();

    // From now on every change of items announces is written: the hooks below, called by signal.
    void follow(ItemStore *items);

    // An item already in the workspace (a restored one) is not added again.
    void itemAdded(ItemData *item);
    // Writes a new name, unit, range or coating requirement and the readings appended since the
    // last call.
    void itemChanged(ItemData *item);
    // Takes the item's notes and photos along.
    void itemRemoved(ItemData *item);
    void notesChanged(ItemData *item);
    // Writes the fields and the logo that differ from what is kept.
    void jobDetailsChanged(const JobDetails &details);
    // Records the item as active, and reads its readings when they are not in memory yet: in the
    // background when an item store is followed, at once otherwise.
    void itemActivated(ItemData *item);
    // Reads the item's readings when they are not in memory yet, or the rest of them while they
    // come in, and returns when all are in; for a report of items that were never active. The
    // active item stays as it is. False, after message(), when they could not all be read.
    bool loadReadings(ItemData *item);
    // The item's readings, also those still only on disk.
    int readingCount(ItemData *item) const;
    void readingsCleared(ItemData *item);
    // The item's readings stay on disk under a row of their own until they are dropped or
    // restored, and only there: the followed store lets go of them. The item continues in a new
    // row. Restored, they come back as for an activation.
    void readingsSetAside(ItemData *item);
    void asideDropped(ItemData *item);
    void asideRestored(ItemData *item);
    // Writes the reasons of the readings whose exclusion changed and the item's new trail events.
    void exclusionsChanged(ItemData *item);

    // Waits until everything handed over so far is on disk.
    void commit();

signals:
    // Something the user must be told, once.
    void message(const QString &text);
    // From now on nothing is saved; everything stays in memory.
    void savingStopped();
    // Changes reached the file; readers of the file see them from now on.
    void committed();

private:
    struct Entry
    {
        qint64 id = 0;
        // Readings of the item in the database: the item's first `stored` readings.
        int stored = 0;
        QString name;
        QString unit;
        // The requirement as StoredRequirement writes it.
        QString requirement;
        // The column starts at the default.
        double rangeUm = IGaugeRange::DefaultRangeUm;
        // False while the readings live only in the database.
        bool loaded = true;
        // The row that keeps the readings set aside, and how many it holds; 0 for none.
        qint64 asideId = 0;
        int asideStored = 0;
        // Events of the item's exclusion trail in the database, and those of the row aside.
        int trailStored = 0;
        int asideTrailStored = 0;
        // The notes as written.
        ItemNotes notes;
        // While the readings come in from the database in the background: the load's number, the
        // readings it brings in all, and those asked for so far; 0 for none.
        qint64 load = 0;
        int loadTotal = 0;
        int requested = 0;
    };

    bool moveAside(QString *damagedPath);
    void runInMemory(const QString &text);
    void fail(const QString &detail);
    void addRow(ItemData *item, Entry &entry);
    // Removes the row id and the readings it holds.
    void removeRow(qint64 id, int readings);
    // Writes what changed since the entry was written, or everything.
    void writeItem(ItemData *item, Entry &entry, bool all = false);
    void writeReadings(ItemData *item, Entry &entry);
    void writeNotes(ItemData *item, Entry &entry, bool all = false);
    bool load(ItemData *item, Entry &entry);
    // Reads the readings only on disk into the item: in the background when an item store is
    // followed and they are more than a part, at once otherwise.
    void bringIn(ItemData *item, Entry &entry);
    bool readable() const { return m_saving || m_readOnly; }
    void startStream(ItemData *item, Entry &entry);
    void requestPart(ItemData *item, Entry &entry);
    // The readings first to first + readings.size() - 1 of the load, read in the background.
    void partRead(ItemData *item, qint64 load, int first, const QList<DmmData *> &readings,
                  const QVector<QString> &exclusions, bool ok, const QString &error);
    // Hands readings read, with the reasons of those excluded by index, to the item, through the
    // followed store when there is one.
    void hand(ItemData *item, const QList<DmmData *> &readings, const QVector<QString> &exclusions);
    void readingHeld(ItemData *item, const DmmData *reading);

    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<WorkspaceConnection> m_connection;
    bool m_saving = false;
    bool m_readOnly = false;
    QHash<ItemData *, Entry> m_entries;
    ItemData *m_active = nullptr;
    // The job's details as written.
    JobDetails m_job;
    qint64 m_nextId = 1;
    qint64 m_nextPosition = 1;
    ItemStore *m_items = nullptr;
    qint64 m_nextLoad = 1;
};
