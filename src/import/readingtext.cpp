#include "readingtext.h"

#include <charconv>
#include <cmath>

#include "utcoffsetcache.h"

namespace {

// Longer texts are no reading's value.
constexpr int MaxNumberText = 64;
constexpr int MaxOffsetMinutes = 18 * 60;

void trim(const char **text, int *size)
{
    while (*size > 0 && (**text == ' ' || **text == '\t')) {
        ++*text;
        --*size;
    }
    while (*size > 0 && ((*text)[*size - 1] == ' ' || (*text)[*size - 1] == '\t'))
        --*size;
}

// Reads exactly digits decimal digits at *at; false if they are not there.
bool digits(const char *text, int size, int *at, int count, int *value)
{
    if (*at + count > size)
        return false;
    int result = 0;
    for (int i = 0; i < count; ++i) {
        const char c = text[*at + i];
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
    }
    *at += count;
    *value = result;
    return true;
}

bool expect(const char *text, int size, int *at, char c)
{
    if (*at >= size || text[*at] != c)
        return false;
    ++*at;
    return true;
}

} // namespace

bool ReadingText::number(const char *text, int size, double *value)
{
    trim(&text, &size);
    if (size == 0 || size > MaxNumberText)
        return false;
    char copy[MaxNumberText];
    int n = 0;
    for (int i = 0; i < size; ++i) {
        const char c = text[i];
        // from_chars takes no plus sign.
        if (c == '+' && i == 0)
            continue;
        copy[n++] = c == ',' ? '.' : c;
    }
    if (n == 0)
        return false;
    const auto result = std::from_chars(copy, copy + n, *value);
    return result.ec == std::errc() && result.ptr == copy + n && std::isfinite(*value);
}

bool ReadingText::number(const QString &text, double *value)
{
    const QByteArray latin = text.toLatin1();
    return number(latin.constData(), latin.size(), value);
}

QDateTime ReadingText::time(const char *text, int size, UtcOffsetCache *offsets)
{
    trim(&text, &size);
    int at = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    if (!digits(text, size, &at, 4, &year) || !expect(text, size, &at, '-') ||
        !digits(text, size, &at, 2, &month) || !expect(text, size, &at, '-') ||
        !digits(text, size, &at, 2, &day))
        return QDateTime();
    if (at >= size || (text[at] != 'T' && text[at] != ' '))
        return QDateTime();
    ++at;
    if (!digits(text, size, &at, 2, &hour) || !expect(text, size, &at, ':') ||
        !digits(text, size, &at, 2, &minute))
        return QDateTime();
    if (at < size && text[at] == ':') {
        ++at;
        if (!digits(text, size, &at, 2, &second))
            return QDateTime();
        if (at < size && (text[at] == '.' || text[at] == ',')) {
            ++at;
            int scale = 100;
            const int start = at;
            while (at < size && text[at] >= '0' && text[at] <= '9') {
                msec += (text[at] - '0') * scale;
                scale /= 10;
                ++at;
            }
            if (at == start)
                return QDateTime();
        }
    }
    const QDate date(year, month, day);
    const QTime wall(hour, minute, second, msec);
    if (!date.isValid() || !wall.isValid())
        return QDateTime();
    if (at == size)
        return offsets->fromWallClock(date, wall);

    int offset = 0;
    if (text[at] == 'Z') {
        ++at;
    } else if (text[at] == '+' || text[at] == '-') {
        const int sign = text[at] == '-' ? -1 : 1;
        ++at;
        int hours = 0;
        int minutes = 0;
        if (!digits(text, size, &at, 2, &hours))
            return QDateTime();
        // "+01", "+0100" or "+01:00".
        if (at < size && text[at] == ':') {
            ++at;
            if (!digits(text, size, &at, 2, &minutes))
                return QDateTime();
        } else if (at < size && !digits(text, size, &at, 2, &minutes)) {
            return QDateTime();
        }
        offset = sign * (hours * 60 + minutes);
        if (minutes > 59 || std::abs(offset) > MaxOffsetMinutes)
            return QDateTime();
    } else {
        return QDateTime();
    }
    if (at != size)
        return QDateTime();
    return QDateTime(date, wall, Qt::OffsetFromUTC, offset * 60);
}

QDateTime ReadingText::time(const QString &text, UtcOffsetCache *offsets)
{
    const QByteArray latin = text.toLatin1();
    return time(latin.constData(), latin.size(), offsets);
}

int ReadingText::overRange(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed == QLatin1String("OL"))
        return 1;
    if (trimmed == QLatin1String("-OL"))
        return -1;
    return 0;
}
