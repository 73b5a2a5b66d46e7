#pragma once

#include <QDateTime>

class QDate;
class QTime;

// The UTC offset of local times, looked up once per quarter hour of wall-clock time (and
// daylight-saving flag). Asking a
// local QDateTime for its offset consults the system's time-zone rules every time; readings of one
// stretch of time mostly share their quarter hour, and every zone in use changes its offset only
// at the start of one. Meant for one pass over readings: a change of the system's zone is seen by
// the next cache.
class UtcOffsetCache
{
public:
    // time's offset from UTC in seconds, as time.offsetFromUtc() gives it.
    int offsetOf(const QDateTime &time);

    // The other way, for times read back from files: the local date-time a wall clock showed,
    // carrying its offset as a fixed offset from UTC, as the workspace's readings do. A time
    // that the clock skipped when daylight-saving time began is read with the offset in force
    // before the change, so it comes out as late as the gap is long; of a time that occurs twice
    // when it ended, the first occurrence. Invalid for an invalid date or time.
    QDateTime fromWallClock(const QDate &date, const QTime &time);

private:
    qint64 m_slot = -1;
    int m_offset = 0;
    qint64 m_wallSlot = -1;
    int m_wallOffset = 0;
};
