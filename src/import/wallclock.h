#pragma once

#include <QDateTime>

class QDate;
class QTime;

// Date-times of wall-clock readings, as XlsDate::localTime() reads them, made without asking the
// system's time-zone rules for each: a local QDateTime does so whenever it is made, which costs
// a file system look-up a time. The offset is looked up once per quarter hour of wall-clock time
// (every zone changes its offset only at the start of one), and the date-times carry it as a
// fixed offset from UTC, as the workspace's readings do. Meant for one file: a change of the
// system's zone is seen by the next clock.
class WallClock
{
public:
    // Invalid for an invalid date or time.
    QDateTime at(const QDate &date, const QTime &time);

private:
    qint64 m_slot = -1;
    int m_offset = 0;
};
