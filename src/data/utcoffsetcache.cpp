#include "utcoffsetcache.h"

#include <QDate>
#include <QTime>

namespace {
constexpr int SlotMs = 15 * 60 * 1000;
constexpr qint64 SlotsPerDay = 24 * 4;
constexpr qint64 MSecsPerDay = 24 * 3600 * 1000;

qint64 slotOf(const QDate &date, const QTime &time)
{
    return date.toJulianDay() * SlotsPerDay + time.msecsSinceStartOfDay() / SlotMs;
}

int offsetAt(qint64 msecsSinceEpoch)
{
    return QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch, Qt::LocalTime).offsetFromUtc();
}

} // namespace

int UtcOffsetCache::offsetOf(const QDateTime &time)
{
    if (time.timeSpec() != Qt::LocalTime)
        return time.offsetFromUtc();
    // In the hour that comes twice when summer time ends, the same wall-clock time has two
    // offsets: the daylight-saving flag tells them apart.
    const qint64 slot = slotOf(time.date(), time.time()) * 2 + (time.isDaylightTime() ? 1 : 0);
    if (slot != m_slot) {
        m_slot = slot;
        m_offset = time.offsetFromUtc();
    }
    return m_offset;
}

QDateTime UtcOffsetCache::fromWallClock(const QDate &date, const QTime &time)
{
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    // The wall-clock reading taken as UTC.
    const qint64 wall = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
    const qint64 slot = slotOf(date, time);
    if (slot != m_wallSlot) {
        // A day earlier, the offset before any change that concerns this time is in force. If
        // the time read with it is past a change, the offset after the change reads it, unless
        // the time fell in the gap the change left.
        const int before = offsetAt(wall - MSecsPerDay);
        const int at = offsetAt(wall - before * 1000LL);
        m_wallOffset = at == before || offsetAt(wall - at * 1000LL) != at ? before : at;
        m_wallSlot = slot;
    }
    return QDateTime::fromMSecsSinceEpoch(wall - m_wallOffset * 1000LL, Qt::OffsetFromUTC,
                                          m_wallOffset);
}
