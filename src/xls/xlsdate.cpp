#include "xlsdate.h"

#include <cmath>

#include <QByteArray>
#include <QDate>
#include <QTime>

namespace {

constexpr qint64 SecondsPerDay = 86400;
constexpr qint64 MSecsPerDay = SecondsPerDay * 1000;
// Days from the 1900 system's day zero to the 1904 system's.
constexpr double Days1904 = 1462.0;
// QDateTime counts milliseconds in 64 bits, some 292 million years either way; days beyond this
// (273 million years) are no date-times.
constexpr double MaxSerialDays = 1e11;

// The value of the digits text[from] .. text[from + count - 1], or -1 if one is not a digit.
int digits(const QString &text, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        const ushort c = text.at(i).unicode();
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// True when the UTC offset is the same from a day before date until two days after it, so that
// every wall-clock time of date occurs exactly once. Looking the offset up costs microseconds,
// and the readings of a file fall on few days: the answer for the last day asked is kept.
bool isSteadyDay(const QDate &date, qint64 midnightAsUtc)
{
    thread_local QDate day;
    thread_local QByteArray zone;
    thread_local bool steady = false;
    const QByteArray currentZone = qgetenv("TZ");
    if (date != day || currentZone != zone) {
        steady = QDateTime::fromMSecsSinceEpoch(midnightAsUtc - MSecsPerDay).offsetFromUtc() ==
                 QDateTime::fromMSecsSinceEpoch(midnightAsUtc + 2 * MSecsPerDay).offsetFromUtc();
        day = date;
        zone = currentZone;
    }
    return steady;
}

} // namespace

QDateTime XlsDate::fromSerial(double serial, bool date1904)
{
    QDate date;
    QTime time;
    return wallClock(serial, date1904, &date, &time) ? localTime(date, time) : QDateTime();
}

bool XlsDate::wallClock(double serial, bool date1904, QDate *date, QTime *time)
{
    if (!std::isfinite(serial))
        return false;
    const double days1900 = date1904 ? serial + Days1904 : serial;
    if (std::fabs(days1900) > MaxSerialDays)
        return false;
    const qint64 seconds = std::llround(days1900 * SecondsPerDay);
    qint64 day = seconds / SecondsPerDay;
    qint64 second = seconds % SecondsPerDay;
    if (second < 0) {
        second += SecondsPerDay;
        --day;
    }
    // The 1900 system counts a 29 February 1900 that never was: its days 1 to 60 are one day
    // later than the count from 1899-12-30 gives, and day 60 becomes 1900-03-01.
    const QDate zero =
        !date1904 && day >= 1 && day < 61 ? QDate(1899, 12, 31) : QDate(1899, 12, 30);
    *date = zero.addDays(day);
    *time = QTime::fromMSecsSinceStartOfDay(static_cast<int>(second * 1000));
    return date->isValid();
}

QDateTime XlsDate::fromText(const QString &text)
{
    if (text.size() != 19 || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-') ||
        text.at(10) != QLatin1Char(' ') || text.at(13) != QLatin1Char(':') ||
        text.at(16) != QLatin1Char(':'))
        return QDateTime();
    const QDate date(digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2));
    const QTime time(digits(text, 11, 2), digits(text, 14, 2), digits(text, 17, 2));
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return localTime(date, time);
}

QDateTime XlsDate::localTime(const QDate &date, const QTime &time)
{
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    const QDateTime wall(date, time, Qt::UTC);
    if (!wall.isValid())
        return QDateTime();
    const qint64 wallMSecs = wall.toMSecsSinceEpoch();
    if (isSteadyDay(date, wallMSecs - time.msecsSinceStartOfDay()))
        return QDateTime(date, time);
    // Taken as UTC, the wall-clock reading lies less than a day from any change of the offset
    // that concerns it, so a day earlier the offset before the change is in force. With that
    // offset the reading names its first occurrence, or, in a gap, the time as late as the gap
    // is long.
    const int offsetBefore =
        QDateTime::fromMSecsSinceEpoch(wallMSecs - MSecsPerDay).offsetFromUtc();
    const QDateTime first = QDateTime::fromMSecsSinceEpoch(wallMSecs - offsetBefore * 1000LL);
    if (first.date() == date && first.time() == time)
        return first;
    // The offset changed before this time of day: read it with the new one.
    const QDateTime local(date, time);
    return local.isValid() ? local : first;
}
