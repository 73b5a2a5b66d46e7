#include "workspace.h"

#include <vector>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include "dmmdata.h"
#include "itemdata.h"
#include "itemstore.h"
#include "storedrequirement.h"
#include "workspaceconnection.h"

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

Workspace::Workspace(QObject *parent)
    : QObject(parent)
{
}

Workspace::~Workspace()
{
    // The connection's thread writes what is left before it ends.
    m_connection.reset();
}

QString Workspace::defaultPath()
{
    const QString chosen = qEnvironmentVariable("RQ6814_WORKSPACE");
    if (!chosen.isEmpty())
        return chosen;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/workspace.sqlite");
}

void Workspace::open(const QString &path)
{
    m_path = QFileInfo(path).absoluteFilePath();
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        runInMemory(tr("The folder of the workspace %1 cannot be created.\nThe readings of this "
                       "session are kept in memory only and are not saved.")
                        .arg(shown(m_path)));
        return;
    }
    // A lock left behind by a logger that was killed is stale as soon as its process is gone; age
    // alone must never free the lock of a logger that has simply run for a long time.
    m_lock = std::make_unique<QLockFile>(m_path + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        const bool inUse = m_lock->error() == QLockFile::LockFailedError;
        runInMemory(inUse ? tr("The workspace %1 is in use by another logger.\nThis logger runs "
                               "on a workspace in memory: its readings are not saved.")
                                .arg(shown(m_path))
                          : tr("The workspace %1 cannot be written.\nThe readings of this "
                               "session are kept in memory only and are not saved.")
                                .arg(shown(m_path)));
        return;
    }

    m_connection = std::make_unique<WorkspaceConnection>();
    connect(m_connection.get(), &WorkspaceConnection::failed, this, &Workspace::fail);
    QString error;
    WorkspaceConnection::OpenResult result = m_connection->open(m_path, &error);
    if (result == WorkspaceConnection::OpenResult::Damaged) {
        m_connection->close();
        QString aside;
        if (!moveAside(&aside)) {
            runInMemory(tr("The workspace %1 is damaged and cannot be moved aside.\nThe readings "
                           "of this session are kept in memory only and are not saved.")
                            .arg(shown(m_path)));
            return;
        }
        emit message(tr("The workspace %1 is damaged. It has been kept as %2, and the logger "
                        "starts on a new workspace.")
                         .arg(shown(m_path), shown(aside)));
        result = m_connection->open(m_path, &error);
    }
    switch (result) {
    case WorkspaceConnection::OpenResult::Ready:
        m_saving = true;
        break;
    case WorkspaceConnection::OpenResult::Newer:
        runInMemory(tr("The workspace %1 was written by a newer version of the logger and is left "
                       "as it is.\nThis logger runs on a workspace in memory: its readings are "
                       "not saved.")
                        .arg(shown(m_path)));
        break;
    case WorkspaceConnection::OpenResult::Damaged:
    case WorkspaceConnection::OpenResult::Failed:
        runInMemory(tr("The workspace %1 cannot be written (%2).\nThe readings of this session "
                       "are kept in memory only and are not saved.")
                        .arg(shown(m_path), error));
        break;
    }
}

bool Workspace::moveAside(QString *damagedPath)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString target = m_path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = m_path + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    if (!QFile::rename(m_path, target))
        return false;
    // The log and its index belong to the damaged file; a new database must not pick them up.
    for (const QString &suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFileInfo::exists(m_path + suffix))
            QFile::rename(m_path + suffix, target + suffix);
    }
    *damagedPath = target;
    return true;
}

void Workspace::runInMemory(const QString &text)
{
    m_connection.reset();
    m_lock.reset();
    m_saving = false;
    emit message(text);
    emit savingStopped();
}

void Workspace::fail(const QString &detail)
{
    if (!m_saving)
        return;
    m_saving = false;
    // The connection stays open: items whose readings are only in the database are read back
    // from what was committed.
    emit message(tr("The workspace %1 cannot be saved (%2).\nThe readings on screen stay, but "
                    "nothing is saved from now on.")
                     .arg(shown(m_path), detail));
    emit savingStopped();
}

void Workspace::commit()
{
    QString error;
    if (m_saving && !m_connection->flush(&error))
        fail(error);
}

QList<ItemData *> Workspace::restore(ItemData *storeItem, ItemData **active)
{
    *active = nullptr;
    QList<ItemData *> items;
    if (!m_saving)
        return items;
    QList<WorkspaceConnection::StoredItem> stored;
    QString error;
    if (!m_connection->items(&stored, &m_nextId, &m_nextPosition, &error)) {
        fail(error);
        return items;
    }

    bool storeFound = false;
    for (const WorkspaceConnection::StoredItem &row : qAsConst(stored)) {
        ItemData *item = nullptr;
        const auto kind = static_cast<ItemData::DataType>(row.kind);
        if (kind == ItemData::StoreData && !storeFound) {
            storeFound = true;
            item = storeItem;
        } else if (kind == ItemData::MeasureData || kind == ItemData::ImportData) {
            item = new ItemData(row.name, kind);
            items.append(item);
        } else {
            continue;
        }
        item->setUnit(row.unit);
        item->setRangeUm(row.rangeUm);
        // A damaged or hand-edited requirement reads as none; the entry keeps the stored text, so
        // the item's next change overwrites it.
        item->setRequirement(StoredRequirement::fromText(row.requirement));
        Entry entry;
        entry.id = row.id;
        entry.stored = row.readings;
        entry.name = item->name();
        entry.unit = row.unit;
        entry.rangeUm = row.rangeUm;
        entry.requirement = row.requirement;
        entry.loaded = row.readings == 0;
        m_entries.insert(item, entry);
        if (row.active)
            *active = item;
    }
    if (!storeFound)
        itemAdded(storeItem);
    return items;
}

void Workspace::follow(ItemStore *items)
{
    connect(items, &ItemStore::itemAdded, this, &Workspace::itemAdded);
    for (auto changed : {&ItemStore::renamed, &ItemStore::unitChanged, &ItemStore::rangeChanged,
                         &ItemStore::requirementChanged})
        connect(items, changed, this, &Workspace::itemChanged);
    connect(items, &ItemStore::readingsAppended, this,
            [this](ItemData *item) { itemChanged(item); });
    connect(items, &ItemStore::itemRemoved, this, &Workspace::itemRemoved);
    // Before the views show the item: its readings must be in memory by then.
    connect(items, &ItemStore::activating, this, &Workspace::itemActivated);
    connect(items, &ItemStore::readingsCleared, this, &Workspace::readingsCleared);
}

void Workspace::itemAdded(ItemData *item)
{
    if (!m_saving || m_entries.contains(item))
        return;
    Entry entry;
    entry.id = m_nextId++;
    entry.name = item->name();
    WorkspaceConnection::Change change;
    change.kind = WorkspaceConnection::Change::AddItem;
    change.item = entry.id;
    change.number = int(item->dataType());
    change.position = m_nextPosition++;
    change.text = entry.name;
    change.time = QDateTime::currentDateTime();
    m_connection->post(change);
    Entry &added = m_entries.insert(item, entry).value();
    writeItem(item, added);
    writeReadings(item, added);
}

void Workspace::itemChanged(ItemData *item)
{
    if (!m_saving)
        return;
    const auto found = m_entries.find(item);
    if (found == m_entries.end())
        return;
    writeItem(item, found.value());
    writeReadings(item, found.value());
}

void Workspace::writeItem(ItemData *item, Entry &entry)
{
    WorkspaceConnection::Change change;
    change.item = entry.id;
    const QString name = item->name();
    if (name != entry.name) {
        change.kind = WorkspaceConnection::Change::Rename;
        change.text = name;
        m_connection->post(change);
        entry.name = name;
    }
    const QString unit = item->unit();
    if (unit != entry.unit) {
        change.kind = WorkspaceConnection::Change::SetUnit;
        change.text = unit;
        m_connection->post(change);
        entry.unit = unit;
    }
    if (item->rangeUm() != entry.rangeUm) {
        change.kind = WorkspaceConnection::Change::SetRange;
        change.value = item->rangeUm();
        m_connection->post(change);
        entry.rangeUm = item->rangeUm();
    }
    const QString requirement = StoredRequirement::toText(item->requirement());
    if (requirement != entry.requirement) {
        change.kind = WorkspaceConnection::Change::SetRequirement;
        change.text = requirement;
        m_connection->post(change);
        entry.requirement = requirement;
    }
}

void Workspace::writeReadings(ItemData *item, Entry &entry)
{
    if (!entry.loaded)
        return;
    const QList<DmmData *> readings = item->readings();
    WorkspaceConnection::Change change;
    change.kind = WorkspaceConnection::Change::AddReading;
    change.item = entry.id;
    for (int seq = entry.stored; seq < readings.size(); ++seq) {
        const DmmData *reading = readings.at(seq);
        WorkspaceConnection::Reading &r = change.reading;
        r.time = reading->time();
        r.umValue = reading->umValue();
        r.milValue = reading->milValue();
        r.umText = reading->umText();
        r.milText = reading->milText();
        r.overload = reading->overload();
        r.unit = reading->unit();
        r.basis = reading->basis();
        change.number = seq;
        m_connection->post(change);
    }
    entry.stored = readings.size();
}

void Workspace::itemRemoved(ItemData *item)
{
    const auto found = m_entries.find(item);
    if (found == m_entries.end())
        return;
    const qint64 id = found->id;
    m_entries.erase(found);
    if (!m_saving)
        return;
    WorkspaceConnection::Change change;
    change.kind = WorkspaceConnection::Change::RemoveItem;
    change.item = id;
    m_connection->post(change);
}

void Workspace::itemActivated(ItemData *item)
{
    const auto found = m_entries.find(item);
    if (found == m_entries.end())
        return;
    if (!found->loaded)
        load(item, found.value());
    if (!m_saving)
        return;
    WorkspaceConnection::Change change;
    change.kind = WorkspaceConnection::Change::Activate;
    change.item = found->id;
    m_connection->post(change);
    writeItem(item, found.value());
}

void Workspace::readingsCleared(ItemData *item)
{
    const auto found = m_entries.find(item);
    if (found == m_entries.end())
        return;
    found->loaded = true;
    found->stored = 0;
    if (!m_saving)
        return;
    WorkspaceConnection::Change change;
    change.kind = WorkspaceConnection::Change::ClearReadings;
    change.item = found->id;
    m_connection->post(change);
}

void Workspace::load(ItemData *item, Entry &entry)
{
    entry.loaded = true;
    std::vector<WorkspaceConnection::Reading> rows;
    rows.reserve(entry.stored);
    QString error;
    const bool complete = m_connection && m_connection->readings(entry.id, &rows, &error);
    for (WorkspaceConnection::Reading &row : rows) {
        auto *reading = new DmmData;
        reading->setTime(row.time);
        reading->setUmValue(row.umValue);
        reading->setMilValue(row.milValue);
        reading->setUmText(row.umText);
        reading->setMilText(row.milText);
        reading->setOverload(row.overload);
        reading->setUnit(row.unit);
        reading->setBasis(row.basis);
        item->appendReading(reading, false);
    }
    item->updateStatistics();
    entry.stored = int(rows.size());
    if (!complete)
        fail(error);
}
