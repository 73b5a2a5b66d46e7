#include "utcoffsetcache.h"

namespace {
constexpr int SlotMs = 15 * 60 * 1000;
constexpr qint64 SlotsPerDay = 24 * 4;
} // namespace

int UtcOffsetCache::offsetOf(const QDateTime &time)
{
    if (time.timeSpec() != Qt::LocalTime)
        return time.offsetFromUtc();
    // In the hour that comes twice when summer time ends, the same wall-clock time has two
    // offsets: the daylight-saving flag tells them apart.
    const qint64 slot =
        (time.date().toJulianDay() * SlotsPerDay + time.time().msecsSinceStartOfDay() / SlotMs) *
            2 +
        (time.isDaylightTime() ? 1 : 0);
    if (slot != m_slot) {
        m_slot = slot;
        m_offset = time.offsetFromUtc();
    }
    return m_offset;
}
