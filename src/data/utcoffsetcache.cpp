#include "utcoffsetcache.h"

namespace {
constexpr int SlotMs = 15 * 60 * 1000;
constexpr qint64 SlotsPerDay = 24 * 4;
} // namespace

int UtcOffsetCache::offsetOf(const QDateTime &time)
{
    if (time.timeSpec() != Qt::LocalTime)
        return time.offsetFromUtc();
    const qint64 slot =
        time.date().toJulianDay() * SlotsPerDay + time.time().msecsSinceStartOfDay() / SlotMs;
    if (slot != m_slot) {
        m_slot = slot;
        m_offset = time.offsetFromUtc();
    }
    return m_offset;
}
