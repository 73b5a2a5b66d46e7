#include "teambranch.h"

#include <QSet>

#include "itemdata.h"
#include "itemstore.h"
#include "itemtree.h"
#include "storedreading.h"
#include "storedrequirement.h"
#include "teamreader.h"

TeamBranch::TeamBranch(ItemTree *tree, ItemStore *items, QObject *parent)
    : QObject(parent)
    , m_tree(tree)
    , m_items(items)
    , m_reader(new TeamReader(this))
{
    connect(m_reader, &TeamReader::listed, this, [this](const QList<TeamItem> &items) {
        whenFree([this, items] { showItems(items); });
    });
    connect(m_reader, &TeamReader::fetched, this,
            [this](const TeamReadings &part) { whenFree([this, part] { receive(part); }); });
    connect(m_reader, &TeamReader::exclusionsFetched, this,
            [this](const TeamExclusions &exclusions) {
                whenFree([this, exclusions] { receiveExclusions(exclusions); });
            });
    connect(items, &ItemStore::activeChanged, this, &TeamBranch::follow);
}

void TeamBranch::setAddress(const QString &address, const QString &path)
{
    if (address == m_address)
        return;
    m_address = address;
    m_reader->stop();
    m_waiting.clear();
    clear();
    m_tree->showTeam(!address.isEmpty());
    if (!address.isEmpty())
        m_reader->start(path, address);
}

ItemData *TeamBranch::item(const QString &uuid) const
{
    return m_entries.value(uuid).item;
}

QList<ItemData *> TeamBranch::items() const
{
    QList<ItemData *> items;
    for (const QString &uuid : m_order)
        items.append(m_entries.value(uuid).item);
    return items;
}

QString TeamBranch::label(const ItemData *item) const
{
    for (const Entry &entry : m_entries) {
        if (entry.item == item)
            return tr("%1 (%2, %3)").arg(item->name(), entry.owner, entry.job);
    }
    return item->name();
}

bool TeamBranch::loadReadings(ItemData *item, QString *error)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->item != item)
            continue;
        std::vector<WorkspaceConnection::Reading> rows;
        QVector<ExclusionEvent> trail;
        const int held = item->readings().size();
        if (!m_reader->readNow(it.key(), held, &rows, &trail, error))
            return false;
        take(*it, held, rows);
        if (held == 0)
            item->setExclusionTrail(trail);
        // Read from the first on, the readings are the server's as the last list counted them.
        if (held == 0) {
            it->fetchedReadingRevision = it->readingRevision;
            it->fetchedExclusionRevision = it->exclusionRevision;
        }
        it->followed = true;
        return true;
    }
    return true;
}

TeamBranch::Pause::Pause(TeamBranch *branch)
    : m_branch(branch)
{
    if (m_branch)
        ++m_branch->m_paused;
}

TeamBranch::Pause::~Pause()
{
    if (!m_branch || --m_branch->m_paused > 0)
        return;
    const std::vector<std::function<void()>> waiting = std::move(m_branch->m_waiting);
    m_branch->m_waiting.clear();
    for (const auto &step : waiting)
        step();
}

void TeamBranch::whenFree(const std::function<void()> &step)
{
    if (m_paused > 0)
        m_waiting.push_back(step);
    else
        step();
}

void TeamBranch::showItems(const QList<TeamItem> &items)
{
    QSet<QString> present;
    m_order.clear();
    for (const TeamItem &listed : items) {
        m_order.append(listed.uuid);
        present.insert(listed.uuid);
        auto found = m_entries.find(listed.uuid);
        // An item moved to another job is shown there anew.
        if (found != m_entries.end() &&
            (found->owner != listed.owner || found->job != listed.job)) {
            drop(listed.uuid);
            found = m_entries.end();
        }
        if (found == m_entries.end()) {
            Entry entry;
            entry.item = new ItemData(listed.name, ItemData::TeamData, this);
            entry.item->setUnit(listed.unit);
            entry.item->setRangeUm(listed.rangeUm);
            entry.item->setRequirement(StoredRequirement::fromText(listed.requirement));
            entry.owner = listed.owner;
            entry.job = listed.job;
            found = m_entries.insert(listed.uuid, entry);
            m_tree->addTeamItem(entry.item, listed.owner, listed.job);
        } else {
            m_items->receiveDetails(found->item, listed.name,
                                    StoredRequirement::fromText(listed.requirement));
        }
        found->readings = listed.readings;
        found->readingRevision = listed.readingRevision;
        found->exclusionRevision = listed.exclusionRevision;
        if (found->followed)
            fetchNew(listed.uuid, *found);
    }
    const QStringList known = m_entries.keys();
    for (const QString &uuid : known) {
        if (!present.contains(uuid))
            drop(uuid);
    }
}

void TeamBranch::receive(const TeamReadings &part)
{
    const auto found = m_entries.find(part.item);
    if (found == m_entries.end() || !found->fetching)
        return;
    if (part.ok) {
        take(*found, part.first, part.rows);
        if (part.first == 0)
            found->item->setExclusionTrail(part.trail);
    }
    if (!part.last)
        return;
    found->fetching = false;
    if (!part.ok)
        found->fetchedReadingRevision = -1;
    // Readings that arrived on the server while this fetch ran.
    fetchNew(part.item, *found);
}

void TeamBranch::receiveExclusions(const TeamExclusions &exclusions)
{
    const auto found = m_entries.find(exclusions.item);
    if (found == m_entries.end() || !found->fetching)
        return;
    found->fetching = false;
    if (exclusions.ok) {
        found->item->setExclusionTrail(exclusions.trail);
        m_items->receiveExclusions(found->item, exclusions.reasons);
    } else
        found->fetchedExclusionRevision = -1;
    fetchNew(exclusions.item, *found);
}

void TeamBranch::take(Entry &entry, int first,
                      const std::vector<WorkspaceConnection::Reading> &rows)
{
    // Nothing from the first on: the server holds none of the item's readings any more.
    if (rows.empty() && (first > 0 || entry.item->readings().isEmpty()))
        return;
    const StoredReading::Loaded loaded = StoredReading::toReadings(rows);
    m_items->receive(entry.item, first, loaded.readings, loaded.exclusions);
}

void TeamBranch::follow(ItemData *item)
{
    if (!item || !item->isReadOnly())
        return;
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->item == item && !it->followed) {
            it->followed = true;
            fetchNew(it.key(), *it);
        }
    }
}

void TeamBranch::fetchNew(const QString &uuid, Entry &entry)
{
    if (entry.fetching)
        return;
    const int held = entry.item->readings().size();
    // Readings changed in place, or fewer on the server than here: fetched anew, with their
    // exclusions. Only exclusions changed: those alone. Else the new readings, if any.
    if (entry.readingRevision != entry.fetchedReadingRevision || entry.readings < held) {
        entry.fetchedReadingRevision = entry.readingRevision;
        entry.fetchedExclusionRevision = entry.exclusionRevision;
        m_reader->fetch(uuid, 0);
    } else if (entry.exclusionRevision != entry.fetchedExclusionRevision) {
        entry.fetchedExclusionRevision = entry.exclusionRevision;
        m_reader->fetchExclusions(uuid);
    } else if (entry.readings > held) {
        m_reader->fetch(uuid, held);
    } else {
        return;
    }
    entry.fetching = true;
}

void TeamBranch::drop(const QString &uuid)
{
    const Entry entry = m_entries.take(uuid);
    m_items->release(entry.item);
    delete entry.item;
}

void TeamBranch::clear()
{
    m_order.clear();
    const QStringList known = m_entries.keys();
    for (const QString &uuid : known)
        drop(uuid);
}
