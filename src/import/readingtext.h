#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

class UtcOffsetCache;

// Values and times of readings as texts give them back: as the logger's CSV writes them and as
// spreadsheets write them again after an edit. Locale-independent and made by hand: a million
// readings make these the cost of an import.
class ReadingText
{
public:
    ReadingText() = delete;

    // "12.5", "12,5", "-3", "1e3", blanks around allowed; the decimal point or comma, no
    // grouping. False for anything else, NaN and infinities included.
    static bool number(const char *text, int size, double *value);
    static bool number(const QString &text, double *value);

    // ISO 8601 as "2026-12-08T09:15:30+01:00": a 'T' or a blank between date and time, the
    // seconds and their fraction optional, 'Z' or an offset optional. With an offset, that
    // instant with that offset; without, the local wall-clock time it names, from offsets. Invalid
    // for anything else.
    static QDateTime time(const char *text, int size, UtcOffsetCache *offsets);
    static QDateTime time(const QString &text, UtcOffsetCache *offsets);

    // 1 for "OL", -1 for "-OL" (the over-range texts, blanks around allowed), 0 otherwise.
    static int overRange(const QString &text);
};
