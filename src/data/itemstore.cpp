#include "itemstore.h"

#include <algorithm>

#include <QTimer>

#include "coatingrequirement.h"
#include "dmmdata.h"

namespace {
QString micrometreUnit()
{
    return QStringLiteral("\u03BCm");
}

// Readings deleted in one turn of the event loop: some milliseconds.
constexpr int DisposalPortion = 20000;
} // namespace

ItemStore::ItemStore(QObject *parent)
    : QObject(parent)
    , m_storeData(new ItemData(tr("Store Data"), ItemData::StoreData, this))
    , m_liveGroup(new ItemData(tr("Live Data"), ItemData::LiveData, this))
    , m_disposalTimer(new QTimer(this))
{
    m_disposalTimer->setInterval(0);
    connect(m_disposalTimer, &QTimer::timeout, this, &ItemStore::disposePortion);
}

ItemStore::~ItemStore()
{
    qDeleteAll(m_disposal);
    for (const Aside &aside : qAsConst(m_aside))
        qDeleteAll(aside.readings);
    for (const Load &load : qAsConst(m_loading)) {
        for (const Load::Held &held : load.held)
            delete held.reading;
    }
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
    if (item->isReadOnly())
        return;
    item->setName(name);
    emit renamed(item);
}

void ItemStore::setRequirement(ItemData *item, const CoatingRequirement &requirement)
{
    if (item->isReadOnly())
        return;
    item->setRequirement(requirement);
    emit requirementChanged(item);
}

void ItemStore::setNotes(ItemData *item, const ItemNotes &notes)
{
    if (item->isReadOnly())
        return;
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
    dispose(m_aside.take(item).readings);
    dispose(item->takeReadings());
    for (const Load::Held &held : m_loading.take(item).held)
        delete held.reading;
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
    if (item->isReadOnly()) {
        qDeleteAll(readings);
        return;
    }
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
    if (item->isReadOnly()) {
        delete reading;
        return;
    }
    const auto loading = m_loading.find(item);
    if (loading != m_loading.end()) {
        loading->held.append({reading, unit, rangeUm});
        emit readingHeld(item, reading);
        return;
    }
    setUnit(item, unit);
    setRange(item, rangeUm);
    item->appendReading(reading, true);
    emit readingsAppended(item, item->readings().size() - 1, 1);
}

void ItemStore::clear(ItemData *item)
{
    if (item->isReadOnly())
        return;
    item->clearReadings();
    emit readingsCleared(item);
}

void ItemStore::setAside(ItemData *item)
{
    if (item->isReadOnly())
        return;
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
    dispose(found->readings);
    m_aside.erase(found);
    emit asideDropped(item);
}

void ItemStore::keepAsideElsewhere(ItemData *item, int count)
{
    const auto found = m_aside.find(item);
    if (found == m_aside.end())
        return;
    dispose(found->readings);
    *found = Aside();
    found->elsewhere = count;
    const auto loading = m_loading.find(item);
    if (loading == m_loading.end())
        return;
    QList<DmmData *> held;
    for (const Load::Held &reading : qAsConst(loading->held))
        held.append(reading.reading);
    dispose(held);
    m_loading.erase(loading);
    emit loadProgress(item, 0, 0);
}

void ItemStore::restoreAside(ItemData *item)
{
    if (!m_aside.contains(item))
        return;
    clear(item);
    const Aside earlier = m_aside.take(item);
    if (earlier.elsewhere > 0) {
        emit asideRestored(item);
        return;
    }
    for (DmmData *reading : earlier.readings)
        item->appendReading(reading, false);
    item->setExclusionTrail(earlier.trail);
    item->setExclusions(earlier.exclusions);
    item->updateStatistics();
    emit asideRestored(item);
    emit readingsAppended(item, 0, earlier.readings.size());
}

void ItemStore::startLoading(ItemData *item, int total)
{
    m_loading.insert(item, Load{total, {}});
    emit loadProgress(item, item->readings().size(), total);
}

void ItemStore::appendLoaded(ItemData *item, const QList<DmmData *> &readings,
                             const QVector<QString> &exclusions)
{
    const int first = item->readings().size();
    item->appendReadings(readings, exclusions);
    emit readingsAppended(item, first, readings.size());
    const auto loading = m_loading.constFind(item);
    if (loading != m_loading.cend())
        emit loadProgress(item, item->readings().size(), loading->total);
}

void ItemStore::finishLoading(ItemData *item)
{
    const auto loading = m_loading.find(item);
    if (loading == m_loading.end())
        return;
    const QList<Load::Held> held = loading->held;
    m_loading.erase(loading);
    emit loadProgress(item, item->readings().size(), item->readings().size());
    for (const Load::Held &reading : held)
        append(item, reading.reading, reading.unit, reading.rangeUm);
}

int ItemStore::asideCount(const ItemData *item) const
{
    const Aside aside = m_aside.value(item);
    return aside.readings.size() + aside.elsewhere;
}

void ItemStore::setExcluded(ItemData *item, const QVector<int> &indexes, const QString &reason)
{
    if (item->isReadOnly())
        return;
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

void ItemStore::dispose(const QList<DmmData *> &readings)
{
    m_disposal.append(readings);
    if (!m_disposal.isEmpty())
        m_disposalTimer->start();
}

void ItemStore::disposePortion()
{
    const int count = qMin(DisposalPortion, m_disposal.size());
    for (int i = m_disposal.size() - count; i < m_disposal.size(); ++i)
        delete m_disposal.at(i);
    m_disposal.erase(m_disposal.end() - count, m_disposal.end());
    if (m_disposal.isEmpty())
        m_disposalTimer->stop();
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

bool ItemStore::receive(ItemData *item, int first, const QList<DmmData *> &readings,
                        const QVector<QString> &exclusions)
{
    if (!item->isReadOnly() || (first != 0 && first != item->readings().size())) {
        qDeleteAll(readings);
        return false;
    }
    if (first == 0 && !item->readings().isEmpty()) {
        dispose(item->takeReadings());
        emit readingsCleared(item);
    }
    item->appendReadings(readings, exclusions);
    emit readingsAppended(item, first, readings.size());
    return true;
}

void ItemStore::receiveExclusions(ItemData *item, const QVector<QString> &reasons)
{
    if (!item->isReadOnly())
        return;
    QVector<int> changed;
    for (int i = 0; i < item->readings().size(); ++i) {
        if (item->exclusionReason(i) != reasons.value(i))
            changed.append(i);
    }
    if (changed.isEmpty())
        return;
    item->setExclusions(reasons);
    emit exclusionsChanged(item, changed, 0);
}

void ItemStore::receiveDetails(ItemData *item, const QString &name,
                               const CoatingRequirement &requirement)
{
    if (!item->isReadOnly())
        return;
    if (name != item->name()) {
        item->setName(name);
        emit renamed(item);
    }
    if (!(requirement == item->requirement())) {
        item->setRequirement(requirement);
        emit requirementChanged(item);
    }
}

void ItemStore::release(ItemData *item)
{
    if (!item->isReadOnly())
        return;
    if (item == m_active) {
        m_active = nullptr;
        emit activeChanged(nullptr);
    }
    emit itemRemoved(item);
}
