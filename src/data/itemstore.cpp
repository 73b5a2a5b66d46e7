#include "itemstore.h"

#include <algorithm>

#include "coatingrequirement.h"
#include "dmmdata.h"

namespace {
QString micrometreUnit()
{
    return QStringLiteral("\u03BCm");
}
} // namespace

ItemStore::ItemStore(QObject *parent)
    : QObject(parent)
    , m_storeData(new ItemData(tr("Store Data"), ItemData::StoreData, this))
    , m_liveGroup(new ItemData(tr("Live Data"), ItemData::LiveData, this))
{
}

ItemStore::~ItemStore()
{
    for (const Aside &aside : qAsConst(m_aside))
        qDeleteAll(aside.readings);
}

QString ItemStore::nextName(const QString &prefix) const
{
    const QList<ItemData *> all = QList<ItemData *>{m_storeData, m_liveGroup} + m_items;
    const auto count = std::count_if(all.begin(), all.end(), [&prefix](const ItemData *item) {
        return item->name().startsWith(prefix, Qt::CaseSensitive);
    });
    return prefix + QString::number(1 + count);
}

void ItemStore::adopt(const QList<ItemData *> &items)
{
    for (ItemData *item : items) {
        item->setParent(this);
        m_items.append(item);
        emit itemAdded(item);
    }
}

ItemData *ItemStore::add(const QString &name, ItemData::DataType type)
{
    auto *item = new ItemData(name, type, this);
    m_items.append(item);
    emit itemAdded(item);
    return item;
}

void ItemStore::rename(ItemData *item, const QString &name)
{
    item->setName(name);
    emit renamed(item);
}

void ItemStore::setRequirement(ItemData *item, const CoatingRequirement &requirement)
{
    item->setRequirement(requirement);
    emit requirementChanged(item);
}

void ItemStore::setNotes(ItemData *item, const ItemNotes &notes)
{
    if (notes == item->notes())
        return;
    item->setNotes(notes);
    emit notesChanged(item);
}

void ItemStore::setJobDetails(const JobDetails &details)
{
    if (details == m_job)
        return;
    m_job = details;
    emit jobDetailsChanged();
}

void ItemStore::remove(ItemData *item)
{
    if (!m_items.contains(item))
        return;
    if (item == m_active) {
        m_active = nullptr;
        emit activeChanged(nullptr);
    }
    emit itemRemoved(item);
    qDeleteAll(m_aside.take(item).readings);
    m_items.removeOne(item);
    delete item;
}

void ItemStore::activate(ItemData *item)
{
    if (!item || item == m_active || item == m_liveGroup)
        return;
    m_active = item;
    item->setUnit(micrometreUnit());
    emit activating(item);
    emit activeChanged(item);
}

void ItemStore::append(ItemData *item, const QList<DmmData *> &readings, const QString &unit,
                       double rangeUm)
{
    setUnit(item, unit);
    setRange(item, rangeUm);
    const int first = item->readings().size();
    for (DmmData *reading : readings)
        item->appendReading(reading, false);
    item->updateStatistics();
    emit readingsAppended(item, first, readings.size());
}

void ItemStore::append(ItemData *item, DmmData *reading, const QString &unit, double rangeUm)
{
    setUnit(item, unit);
    setRange(item, rangeUm);
    item->appendReading(reading, true);
    emit readingsAppended(item, item->readings().size() - 1, 1);
}

void ItemStore::clear(ItemData *item)
{
    item->clearReadings();
    emit readingsCleared(item);
}

void ItemStore::setAside(ItemData *item)
{
    dropAside(item);
    emit settingAside(item);
    Aside aside;
    aside.exclusions = item->exclusions();
    aside.trail = item->exclusionTrail();
    aside.readings = item->takeReadings();
    m_aside.insert(item, aside);
    emit readingsSetAside(item);
    emit readingsCleared(item);
}

void ItemStore::dropAside(ItemData *item)
{
    const auto found = m_aside.find(item);
    if (found == m_aside.end())
        return;
    qDeleteAll(found->readings);
    m_aside.erase(found);
    emit asideDropped(item);
}

void ItemStore::restoreAside(ItemData *item)
{
    if (!m_aside.contains(item))
        return;
    clear(item);
    const Aside earlier = m_aside.take(item);
    for (DmmData *reading : earlier.readings)
        item->appendReading(reading, false);
    item->setExclusionTrail(earlier.trail);
    item->setExclusions(earlier.exclusions);
    item->updateStatistics();
    emit asideRestored(item);
    emit readingsAppended(item, 0, earlier.readings.size());
}

int ItemStore::asideCount(const ItemData *item) const
{
    return m_aside.value(item).readings.size();
}

void ItemStore::setExcluded(ItemData *item, const QVector<int> &indexes, const QString &reason)
{
    const int count = item->readings().size();
    ExclusionEvent event;
    event.excluded = !reason.isEmpty();
    event.reason = reason;
    event.who = who();
    event.when = QDateTime::currentDateTime();
    QVector<int> changed;
    QVector<ExclusionEvent> events;
    changed.reserve(indexes.size());
    events.reserve(indexes.size());
    for (int index : indexes) {
        if (index < 0 || index >= count || item->exclusionReason(index) == reason)
            continue;
        event.reading = index;
        changed.append(index);
        events.append(event);
    }
    if (changed.isEmpty())
        return;
    const int firstEvent = item->exclusionTrail().size();
    item->appendToTrail(events);
    item->setExcluded(changed, reason);
    emit exclusionsChanged(item, changed, firstEvent);
}

QString ItemStore::who() const
{
    const QString inspector = m_job.value(JobDetails::Inspector).trimmed();
    if (!inspector.isEmpty())
        return inspector;
    // USERNAME on Windows, USER elsewhere.
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    return user.isEmpty() ? tr("unknown user") : user;
}

void ItemStore::setUnit(ItemData *item, const QString &unit)
{
    if (unit == item->unit())
        return;
    item->setUnit(unit);
    emit unitChanged(item);
}

void ItemStore::setRange(ItemData *item, double rangeUm)
{
    if (rangeUm == item->rangeUm())
        return;
    item->setRangeUm(rangeUm);
    emit rangeChanged(item);
}
