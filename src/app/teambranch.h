#pragma once

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

private:
    struct Entry
    {
        ItemData *item = nullptr;
        QString owner;
        QString job;
        // The readings the server holds.
        int readings = 0;
        int exclusionEvents = 0;
        // The trail's length when the readings were last fetched from the first on.
        int fetchedExclusions = 0;
        // Shown once: its readings are fetched and followed.
        bool followed = false;
        bool fetching = false;
    };

    void showItems(const QList<TeamItem> &items);
    void receive(const TeamReadings &part);
    void follow(ItemData *item);
    // Fetches what the server holds beyond what the item has, unless a fetch is on its way.
    void fetchNew(const QString &uuid, Entry &entry);
    void drop(const QString &uuid);
    void clear();

    ItemTree *m_tree;
    ItemStore *m_items;
    TeamReader *m_reader;
    QString m_address;
    QHash<QString, Entry> m_entries;
};
