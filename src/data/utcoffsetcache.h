#pragma once

#include <QDateTime>

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

private:
    qint64 m_slot = -1;
    int m_offset = 0;
};
