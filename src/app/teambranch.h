#pragma once

#include <functional>
#include <vector>

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include "teamitem.h"

class ItemData;
class ItemStore;
class ItemTree;
class TeamReader;

// The "Team" branch of the item tree while a team server is set: the colleagues' items as the
// server holds them, read-only. An item's readings are fetched when it is first shown and kept up
// to date from then on, as the server announces new ones. The branch owns these items.
class TeamBranch : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(TeamBranch)

public:
    TeamBranch(ItemTree *tree, ItemStore *items, QObject *parent);

    // Shows the items of the server at address but those of the workspace file at path; an empty
    // address takes the branch away. An unchanged address changes nothing.
    void setAddress(const QString &address, const QString &path);
    TeamReader *reader() const { return m_reader; }
    ItemData *item(const QString &uuid) const;
    // The team's items in the order of the tree.
    QList<ItemData *> items() const;
    // The item's name with whose it is and the job, for lists beside the own items.
    QString label(const ItemData *item) const;
    // Brings in at once what the server holds of a Team item beyond what it has, and follows the
    // item from then on; false with *error set when the server cannot give it.
    bool loadReadings(ItemData *item, QString *error);

    // While a pause lives, what the server says waits, so that no Team item changes or goes
    // under an export that reads it.
    class Pause
    {
    public:
        explicit Pause(TeamBranch *branch);
        ~Pause();
        Pause(const Pause &) = delete;
        Pause &operator=(const Pause &) = delete;

    private:
        TeamBranch *m_branch;
    };

private:
    struct Entry
    {
        ItemData *item = nullptr;
        QString owner;
        QString job;
        // The readings the server holds, and its counts of their changes.
        int readings = 0;
        qint64 readingRevision = 0;
        qint64 exclusionRevision = 0;
        // The counts the readings here were fetched at; -1 before, and after a failed fetch.
        qint64 fetchedReadingRevision = -1;
        qint64 fetchedExclusionRevision = -1;
        // Shown once: its readings are fetched and followed.
        bool followed = false;
        bool fetching = false;
    };

    void showItems(const QList<TeamItem> &items);
    void receive(const TeamReadings &part);
    void receiveExclusions(const TeamExclusions &exclusions);
    void take(Entry &entry, int first, const std::vector<WorkspaceConnection::Reading> &rows);
    // Runs what the server said now, or after the pause.
    void whenFree(const std::function<void()> &step);
    void follow(ItemData *item);
    // Fetches what changed on the server since the item's readings were fetched, unless a fetch
    // is on its way.
    void fetchNew(const QString &uuid, Entry &entry);
    void drop(const QString &uuid);
    void clear();

    ItemTree *m_tree;
    ItemStore *m_items;
    TeamReader *m_reader;
    QString m_address;
    QHash<QString, Entry> m_entries;
    // The uuids in tree order.
    QStringList m_order;
    int m_paused = 0;
    std::vector<std::function<void()>> m_waiting;
};
