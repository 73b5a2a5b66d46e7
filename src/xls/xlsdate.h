#pragma once

#include <QDateTime>
#include <QString>

class QDate;
class QTime;

// Date-times as workbooks hold them: Excel serial numbers (days since the system's day zero, the
// time of day as a fraction) and the text "yyyy-MM-dd hh:mm:ss" the reading table shows. Both
// become local wall-clock date-times.
class XlsDate
{
public:
    XlsDate() = delete;

    // The serial of the 1900 date system (day 1 is 1900-01-01; 0 and times alone fall on day
    // zero, 1899-12-30) or of the 1904 system (day 0 is 1904-01-01), rounded to the nearest
    // second. Invalid for NaN, infinities and days a QDateTime can't hold.
    static QDateTime fromSerial(double serial, bool date1904);
    // The same serial as the date and the time of day a wall clock shows; false where
    // fromSerial() is invalid.
    static bool wallClock(double serial, bool date1904, QDate *date, QTime *time);

    // "yyyy-MM-dd hh:mm:ss" as a local date-time; invalid for any other text. Made by hand
    // because QDateTime::fromString costs some 50 µs a call, which counts with 65,536 rows.
    static QDateTime fromText(const QString &text);

    // The local date-time that a wall clock showed. A time that the clock skipped when
    // daylight-saving time began is read with the offset in force before the change, so it
    // comes out as late as the gap is long (02:30 in a one-hour gap at 02:00 is 03:30). Of a
    // time that occurs twice when it ended, the first occurrence.
    static QDateTime localTime(const QDate &date, const QTime &time);
};
