#include "wallclock.h"

#include <QDate>
#include <QTime>

#include "xlsdate.h"

namespace {
constexpr int SlotMs = 15 * 60 * 1000;
constexpr qint64 SlotsPerDay = 24 * 4;
} // namespace

QDateTime WallClock::at(const QDate &date, const QTime &time)
{
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    const qint64 wall = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
    const qint64 slot = date.toJulianDay() * SlotsPerDay + time.msecsSinceStartOfDay() / SlotMs;
    if (slot != m_slot) {
        const QDateTime local = XlsDate::localTime(date, time);
        if (!local.isValid())
            return QDateTime();
        m_slot = slot;
        m_offset = int((wall - local.toMSecsSinceEpoch()) / 1000);
    }
    return QDateTime::fromMSecsSinceEpoch(wall - qint64(m_offset) * 1000, Qt::OffsetFromUTC,
                                          m_offset);
}
