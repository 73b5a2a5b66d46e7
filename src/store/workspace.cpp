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
#include "storedreading.h"
#include "storedrequirement.h"
#include "workspaceconnection.h"

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The kind of the row that keeps an item's readings while a replacement of them may still be
// taken back. Negative, so that no item type can ever take it, and so that a logger that does
// not know it passes the row over.
constexpr int AsideKind = -1;

// Readings read from the database at a time while an item loads in the background: few enough
// that the window's share of them is a short turn of its event loop, and that the writes of live
// readings wait little behind the read.
constexpr int LoadPart = 4096;

WorkspaceConnection::Change readingChange(qint64 item, qint64 seq, const DmmData *reading,
                                          const QString &exclusion)
{
    WorkspaceConnection::Change change;
    change.kind = WorkspaceConnection::Change::AddReading;
    change.item = item;
    change.number = seq;
    WorkspaceConnection::Reading &r = change.reading;
    r.time = reading->time();
    r.umValue = reading->umValue();
    r.milValue = reading->milValue();
    r.umText = reading->umText();
    r.milText = reading->milText();
    r.overload = reading->overload();
    r.unit = reading->unit();
    r.basis = reading->basis();
    r.exclusion = exclusion;
    return change;
}

void post(WorkspaceConnection &connection, WorkspaceConnection::Change::Kind kind, qint64 item,
          qint64 number = 0)
{
    WorkspaceConnection::Change change;
    change.kind = kind;
    change.item = item;
    change.number = number;
    connection.post(change);
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

void Workspace::open(const QString &path, DamagedFile damaged)
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
    connect(m_connection.get(), &WorkspaceConnection::committed, this, &Workspace::committed);
    QString error;
    WorkspaceConnection::OpenResult result = m_connection->open(m_path, &error);
    if (result == WorkspaceConnection::OpenResult::Damaged && damaged == MoveAside) {
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

bool Workspace::read(const QString &path)
{
    m_path = QFileInfo(path).absoluteFilePath();
    m_connection = std::make_unique<WorkspaceConnection>();
    QString error;
    switch (m_connection->open(m_path, &error, WorkspaceConnection::Access::ReadOnly)) {
    case WorkspaceConnection::OpenResult::Ready:
        m_readOnly = true;
        return true;
    case WorkspaceConnection::OpenResult::Newer:
        emit message(tr("The workspace %1 was written by a newer version of the logger.")
                         .arg(shown(m_path)));
        break;
    case WorkspaceConnection::OpenResult::Damaged:
        emit message(tr("The workspace %1 is damaged (%2).").arg(shown(m_path), error));
        break;
    case WorkspaceConnection::OpenResult::Failed:
        emit message(tr("The workspace %1 cannot be read (%2).").arg(shown(m_path), error));
        break;
    }
    m_connection.reset();
    return false;
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
    if (m_readOnly) {
        emit message(tr("The workspace %1 cannot be read (%2).").arg(shown(m_path), detail));
        return;
    }
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
    if (!readable())
        return items;
    QList<WorkspaceConnection::StoredItem> stored;
    QString error;
    if (!m_connection->items(&stored, &m_nextId, &m_nextPosition, &error)) {
        fail(error);
        return items;
    }

    bool storeFound = false;
    QString earlierStore;
    for (const WorkspaceConnection::StoredItem &row : qAsConst(stored)) {
        ItemData *item = nullptr;
        const auto kind = static_cast<ItemData::DataType>(row.kind);
        if (kind == ItemData::StoreData && !storeFound) {
            storeFound = true;
            item = storeItem;
        } else if (kind == ItemData::MeasureData || kind == ItemData::ImportData) {
            item = new ItemData(row.name, kind);
            items.append(item);
        } else if (row.kind == AsideKind) {
            // The logger stopped before a download of the gauge's memory ended: Store Data keeps
            // what was received, and what it held before becomes an item of its own.
            earlierStore = tr("%1 before download").arg(row.name);
            item = new ItemData(earlierStore, ItemData::ImportData);
            items.append(item);
            if (m_saving) {
                post(*m_connection, WorkspaceConnection::Change::SetKind, row.id,
                     ItemData::ImportData);
                WorkspaceConnection::Change rename;
                rename.kind = WorkspaceConnection::Change::Rename;
                rename.item = row.id;
                rename.text = earlierStore;
                m_connection->post(rename);
            }
        } else {
            continue;
        }
        item->setUnit(row.unit);
        item->setRangeUm(row.rangeUm);
        // A damaged or hand-edited requirement reads as none; the entry keeps the stored text, so
        // the item's next change overwrites it.
        item->setRequirement(StoredRequirement::fromText(row.requirement));
        item->setNotes(row.notes);
        Entry entry;
        entry.id = row.id;
        entry.stored = row.readings;
        entry.name = item->name();
        entry.unit = row.unit;
        entry.rangeUm = row.rangeUm;
        entry.requirement = row.requirement;
        entry.notes = row.notes;
        entry.loaded = row.readings == 0;
        m_entries.insert(item, entry);
        if (row.active)
            *active = item;
    }
    if (!storeFound)
        itemAdded(storeItem);
    if (!earlierStore.isEmpty() && m_saving) {
        emit message(tr("The logger stopped during a download of the gauge's memory. Store Data "
                        "holds the readings received; the readings it held before are kept in "
                        "the item \"%1\".")
                         .arg(earlierStore));
    }
    return items;
}

JobDetails Workspace::restoreJobDetails()
{
    if (!readable())
        return m_job;
    QHash<QString, QString> values;
    QByteArray logo;
    QString error;
    if (!m_connection->jobDetails(&values, &logo, &error)) {
        fail(error);
        return m_job;
    }
    // Keys this logger does not know stay in the file untouched.
    for (int field = 0; field < JobDetails::FieldCount; ++field) {
        const auto f = static_cast<JobDetails::Field>(field);
        m_job.setValue(f, values.value(JobDetails::key(f)));
    }
    m_job.setLogo(logo);
    return m_job;
}

void Workspace::follow(ItemStore *items)
{
    m_items = items;
    connect(items, &ItemStore::readingHeld, this, &Workspace::readingHeld);
    connect(items, &ItemStore::itemAdded, this, &Workspace::itemAdded);
    for (auto changed : {&ItemStore::renamed, &ItemStore::unitChanged, &ItemStore::rangeChanged,
                         &ItemStore::requirementChanged})
        connect(items, changed, this, &Workspace::itemChanged);
    // A new unit or range is announced by a signal of its own, before the readings that bring it.
    connect(items, &ItemStore::readingsAppended, this, [this](ItemData *item) {
        const auto found = m_entries.find(item);
        if (m_saving && found != m_entries.end())
            writeReadings(item, found.value());
    });
    connect(items, &ItemStore::itemRemoved, this, &Workspace::itemRemoved);
    connect(items, &ItemStore::notesChanged, this, &Workspace::notesChanged);
    connect(items, &ItemStore::jobDetailsChanged, this,
            [this, items] { jobDetailsChanged(items->jobDetails()); });
    // Before the views show the item: its readings must be in memory by then.
    connect(items, &ItemStore::activating, this, &Workspace::itemActivated);
    connect(items, &ItemStore::readingsCleared, this, &Workspace::readingsCleared);
    // Saving, the readings set aside stay on disk only; otherwise the store keeps them, and
    // those only on disk must be in memory first.
    connect(items, &ItemStore::settingAside, this, [this](ItemData *item) {
        const auto found = m_entries.find(item);
        if (!m_saving && found != m_entries.end() && !found->loaded)
            load(item, found.value());
    });
    connect(items, &ItemStore::readingsSetAside, this, &Workspace::readingsSetAside);
    connect(items, &ItemStore::asideDropped, this, &Workspace::asideDropped);
    connect(items, &ItemStore::asideRestored, this, &Workspace::asideRestored);
    connect(items, &ItemStore::exclusionsChanged, this,
            [this](ItemData *item) { exclusionsChanged(item); });
}

void Workspace::itemAdded(ItemData *item)
{
    if (!m_saving || m_entries.contains(item))
        return;
    Entry &added = m_entries.insert(item, Entry()).value();
    addRow(item, added);
    writeReadings(item, added);
}

void Workspace::addRow(ItemData *item, Entry &entry)
{
    entry.id = m_nextId++;
    entry.name = item->name();
    entry.unit.clear();
    entry.requirement.clear();
    entry.rangeUm = IGaugeRange::DefaultRangeUm;
    entry.notes = ItemNotes();
    WorkspaceConnection::Change change;
    change.kind = WorkspaceConnection::Change::AddItem;
    change.item = entry.id;
    change.number = int(item->dataType());
    change.position = m_nextPosition++;
    change.text = entry.name;
    change.time = QDateTime::currentDateTime();
    m_connection->post(change);
    writeItem(item, entry);
    writeNotes(item, entry);
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

void Workspace::writeItem(ItemData *item, Entry &entry, bool all)
{
    WorkspaceConnection::Change change;
    change.item = entry.id;
    const QString name = item->name();
    if (all || name != entry.name) {
        change.kind = WorkspaceConnection::Change::Rename;
        change.text = name;
        m_connection->post(change);
        entry.name = name;
    }
    const QString unit = item->unit();
    if (all || unit != entry.unit) {
        change.kind = WorkspaceConnection::Change::SetUnit;
        change.text = unit;
        m_connection->post(change);
        entry.unit = unit;
    }
    if (all || item->rangeUm() != entry.rangeUm) {
        change.kind = WorkspaceConnection::Change::SetRange;
        change.value = item->rangeUm();
        m_connection->post(change);
        entry.rangeUm = item->rangeUm();
    }
    const QString requirement = StoredRequirement::toText(item->requirement());
    if (all || requirement != entry.requirement) {
        change.kind = WorkspaceConnection::Change::SetRequirement;
        change.text = requirement;
        m_connection->post(change);
        entry.requirement = requirement;
    }
}

void Workspace::notesChanged(ItemData *item)
{
    const auto found = m_entries.find(item);
    if (m_saving && found != m_entries.end())
        writeNotes(item, found.value());
}

void Workspace::writeNotes(ItemData *item, Entry &entry, bool all)
{
    const ItemNotes &notes = item->notes();
    WorkspaceConnection::Change change;
    change.item = entry.id;
    if (all || notes.text != entry.notes.text) {
        change.kind = WorkspaceConnection::Change::SetNote;
        change.text = notes.text;
        m_connection->post(change);
    }
    if (all || notes.photos != entry.notes.photos) {
        change.kind = WorkspaceConnection::Change::ClearPhotos;
        m_connection->post(change);
        change.kind = WorkspaceConnection::Change::AddPhoto;
        for (int seq = 0; seq < notes.photos.size(); ++seq) {
            change.number = seq;
            change.text = notes.photos.at(seq).name;
            change.bytes = notes.photos.at(seq).bytes;
            m_connection->post(change);
        }
    }
    entry.notes = notes;
}

void Workspace::jobDetailsChanged(const JobDetails &details)
{
    if (!m_saving)
        return;
    WorkspaceConnection::Change change;
    change.kind = WorkspaceConnection::Change::SetJobDetail;
    for (int field = 0; field < JobDetails::FieldCount; ++field) {
        const auto f = static_cast<JobDetails::Field>(field);
        if (details.value(f) == m_job.value(f))
            continue;
        change.key = JobDetails::key(f);
        change.text = details.value(f);
        m_connection->post(change);
    }
    if (details.logo() != m_job.logo()) {
        change.kind = WorkspaceConnection::Change::SetLogo;
        change.bytes = details.logo();
        m_connection->post(change);
    }
    m_job = details;
}

void Workspace::writeReadings(ItemData *item, Entry &entry)
{
    if (!entry.loaded)
        return;
    const QList<DmmData *> readings = item->readings();
    for (int seq = entry.stored; seq < readings.size(); ++seq)
        m_connection->post(
            readingChange(entry.id, seq, readings.at(seq), item->exclusionReason(seq)));
    entry.stored = readings.size();
}

void Workspace::itemRemoved(ItemData *item)
{
    const auto found = m_entries.find(item);
    if (found == m_entries.end())
        return;
    const Entry entry = found.value();
    m_entries.erase(found);
    if (item == m_active)
        m_active = nullptr;
    if (!m_saving)
        return;
    removeRow(entry.id, entry.stored);
    if (entry.asideId != 0)
        removeRow(entry.asideId, entry.asideStored);
}

void Workspace::removeRow(qint64 id, int readings)
{
    post(*m_connection, WorkspaceConnection::Change::RemoveItem, id);
    m_connection->removeReadings(id, readings);
}

void Workspace::itemActivated(ItemData *item)
{
    const auto found = m_entries.find(item);
    if (found == m_entries.end())
        return;
    bringIn(item, found.value());
    m_active = item;
    if (!m_saving)
        return;
    post(*m_connection, WorkspaceConnection::Change::Activate, found->id);
    writeItem(item, found.value());
}

void Workspace::bringIn(ItemData *item, Entry &entry)
{
    // An item that fits in one part is read at once.
    if (!entry.loaded && m_items && entry.stored > LoadPart)
        startStream(item, entry);
    else if (!entry.loaded)
        load(item, entry);
}

bool Workspace::loadReadings(ItemData *item)
{
    const auto found = m_entries.find(item);
    return found == m_entries.end() || found->loaded || load(item, found.value());
}

int Workspace::readingCount(ItemData *item) const
{
    const auto found = m_entries.find(item);
    return found == m_entries.end() || found->loaded ? item->readings().size() : found->stored;
}

void Workspace::readingsCleared(ItemData *item)
{
    const auto found = m_entries.find(item);
    if (found == m_entries.end())
        return;
    found->loaded = true;
    found->stored = 0;
    found->trailStored = 0;
    const bool loading = found->load != 0;
    found->load = 0;
    if (m_saving)
        post(*m_connection, WorkspaceConnection::Change::ClearReadings, found->id);
    // What was held back during the load follows the clearing.
    if (loading)
        m_items->finishLoading(item);
}

void Workspace::readingsSetAside(ItemData *item)
{
    const auto found = m_entries.find(item);
    // With nothing on disk there is nothing to keep: the earlier readings are in memory only.
    if (!m_saving || !m_items || found == m_entries.end() || found->stored == 0)
        return;
    Entry &entry = found.value();
    // Every reading is on disk or on its way there, also those of a load under way, which stops.
    entry.load = 0;
    m_items->keepAsideElsewhere(item, entry.stored);
    post(*m_connection, WorkspaceConnection::Change::SetKind, entry.id, AsideKind);
    entry.asideId = entry.id;
    entry.asideStored = entry.stored;
    entry.stored = 0;
    entry.asideTrailStored = entry.trailStored;
    entry.trailStored = 0;
    addRow(item, entry);
    entry.loaded = true;
    if (item == m_active)
        post(*m_connection, WorkspaceConnection::Change::Activate, entry.id);
}

void Workspace::asideDropped(ItemData *item)
{
    const auto found = m_entries.find(item);
    if (found == m_entries.end() || found->asideId == 0)
        return;
    if (m_saving)
        removeRow(found->asideId, found->asideStored);
    found->asideId = 0;
    found->asideStored = 0;
    found->asideTrailStored = 0;
}

void Workspace::asideRestored(ItemData *item)
{
    const auto found = m_entries.find(item);
    if (found == m_entries.end() || found->asideId == 0)
        return;
    Entry &entry = found.value();
    const qint64 replacement = entry.id;
    const int replacementStored = entry.stored;
    entry.id = entry.asideId;
    entry.stored = entry.asideStored;
    entry.trailStored = entry.asideTrailStored;
    entry.asideId = 0;
    entry.asideStored = 0;
    entry.asideTrailStored = 0;
    // The earlier readings come back from disk as when the item is activated.
    entry.loaded = entry.stored == 0;
    if (m_saving) {
        removeRow(replacement, replacementStored);
        post(*m_connection, WorkspaceConnection::Change::SetKind, entry.id, int(item->dataType()));
        if (item == m_active)
            post(*m_connection, WorkspaceConnection::Change::Activate, entry.id);
        // The row kept what the item was when it went aside; write what it is now.
        writeItem(item, entry, true);
        writeNotes(item, entry, true);
    }
    if (item == m_active)
        bringIn(item, entry);
}

void Workspace::exclusionsChanged(ItemData *item)
{
    const auto found = m_entries.find(item);
    if (!m_saving || found == m_entries.end())
        return;
    Entry &entry = found.value();
    const QVector<ExclusionEvent> &trail = item->exclusionTrail();
    // Events made together share their reason, author and time: one change for each such run.
    WorkspaceConnection::Change change;
    change.kind = WorkspaceConnection::Change::Exclude;
    change.item = entry.id;
    for (int first = entry.trailStored; first < trail.size();) {
        const ExclusionEvent &head = trail.at(first);
        int end = first;
        change.seqs.clear();
        while (end < trail.size() && trail.at(end).reason == head.reason &&
               trail.at(end).who == head.who && trail.at(end).when == head.when) {
            change.seqs.append(trail.at(end).reading);
            ++end;
        }
        change.number = first;
        change.text = head.reason;
        change.key = head.who;
        change.time = head.when;
        m_connection->post(change);
        first = end;
    }
    entry.trailStored = trail.size();
}

bool Workspace::load(ItemData *item, Entry &entry)
{
    const bool streaming = entry.load != 0;
    const int end = streaming ? entry.loadTotal : entry.stored;
    entry.load = 0;
    std::vector<WorkspaceConnection::Reading> rows;
    rows.reserve(end - item->readings().size());
    QString error;
    const int first = item->readings().size();
    bool complete = m_connection && m_connection->readings(entry.id, first, end, &rows, &error);
    const StoredReading::Loaded loaded = StoredReading::toReadings(rows);
    hand(item, loaded.readings, loaded.exclusions);
    // The trail comes with the first readings; events added since are in it already.
    if (complete && first == 0) {
        QVector<ExclusionEvent> trail;
        complete = m_connection->exclusionTrail(entry.id, &trail, &error);
        item->setExclusionTrail(trail);
        entry.trailStored = trail.size();
    }
    // Readings held back during a load are on disk behind end already, and counted in stored;
    // finishLoading() hands them to the item.
    if (!streaming)
        entry.stored = item->readings().size();
    entry.loaded = true;
    if (streaming)
        m_items->finishLoading(item);
    if (!complete)
        fail(error);
    return complete;
}

void Workspace::hand(ItemData *item, const QList<DmmData *> &readings,
                     const QVector<QString> &exclusions)
{
    if (m_items)
        m_items->appendLoaded(item, readings, exclusions);
    else
        item->appendReadings(readings, exclusions);
}

void Workspace::startStream(ItemData *item, Entry &entry)
{
    if (entry.load != 0)
        return;
    entry.load = m_nextLoad++;
    entry.loadTotal = entry.stored;
    entry.requested = item->readings().size();
    m_items->startLoading(item, entry.loadTotal);
    // One part is read while the window takes the one before.
    requestPart(item, entry);
    requestPart(item, entry);
}

void Workspace::requestPart(ItemData *item, Entry &entry)
{
    if (entry.requested >= entry.loadTotal || !m_connection)
        return;
    const int first = entry.requested;
    const int count = qMin(LoadPart, entry.loadTotal - first);
    entry.requested += count;
    const qint64 load = entry.load;
    // The trail comes with the first readings, before any reading can be excluded anew.
    const bool withTrail = first == 0;
    m_connection->readReadingsLater(
        entry.id, first, count, withTrail, this,
        [this, item, load, first, withTrail](WorkspaceConnection::Part &part) {
            const auto found = m_entries.find(item);
            // An item removed, or loaded at once meanwhile, takes nothing more from this load.
            if (found == m_entries.end() || found->load != load)
                return;
            if (withTrail) {
                item->setExclusionTrail(part.trail);
                found->trailStored = part.trail.size();
            }
            const StoredReading::Loaded loaded = StoredReading::toReadings(part.readings);
            partRead(item, load, first, loaded.readings, loaded.exclusions, part.ok, part.error);
        });
}

void Workspace::partRead(ItemData *item, qint64 load, int first, const QList<DmmData *> &readings,
                         const QVector<QString> &exclusions, bool ok, const QString &error)
{
    hand(item, readings, exclusions);
    const auto found = m_entries.find(item);
    if (found == m_entries.end() || found->load != load)
        return;
    Entry &entry = found.value();
    // A part shorter than asked for is the end of what the database holds.
    const bool ended = readings.size() < qMin(LoadPart, entry.loadTotal - first);
    if (ok && !ended && item->readings().size() < entry.loadTotal) {
        requestPart(item, entry);
        return;
    }
    entry.load = 0;
    entry.loaded = true;
    m_items->finishLoading(item);
    if (!ok)
        fail(error);
}

void Workspace::readingHeld(ItemData *item, const DmmData *reading)
{
    const auto found = m_entries.find(item);
    if (!m_saving || found == m_entries.end())
        return;
    // On disk at once, behind the readings still coming in; the item takes it when they are in.
    m_connection->post(readingChange(found->id, found->stored++, reading, QString()));
}
