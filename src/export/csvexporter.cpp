#include "csvexporter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <QIODevice>
#include <QLocale>
#include <QSaveFile>

#include "dmmdata.h"
#include "itemdata.h"
#include "utcoffsetcache.h"

namespace {
// Lines gathered before they go to the device, and between two progress reports.
constexpr int ChunkReadings = 4096;

// Writes value as `digits` decimal digits with leading zeros at out and returns the end.
char *digits(char *out, int value, int count)
{
    for (int i = count - 1; i >= 0; --i) {
        out[i] = char('0' + value % 10);
        value /= 10;
    }
    return out + count;
}

// "2026-03-29T01:30:15+01:00": the wall-clock time with the offset that was in force, so that
// the time means one instant. Formatted digit by digit: a million readings make this, with the
// value, the export's cost. Returns the end of what was written at out, which has room for
// TimeSize characters; nothing for an invalid time.
constexpr int TimeSize = 32;
char *isoTime(char *out, const QDateTime &time, UtcOffsetCache *offsets)
{
    if (!time.isValid())
        return out;
    const QDate d = time.date();
    const QTime t = time.time();
    const int offset = offsets->offsetOf(time);
    const int minutes = std::abs(offset) / 60;
    const int year = d.year();
    // Years beyond four digits, or before the common era, as printf's "%04d" writes them.
    if (year < 0 || year > 9999)
        out += std::snprintf(out, 12, "%04d", year);
    else
        out = digits(out, year, 4);
    *out++ = '-';
    out = digits(out, d.month(), 2);
    *out++ = '-';
    out = digits(out, d.day(), 2);
    *out++ = 'T';
    out = digits(out, t.hour(), 2);
    *out++ = ':';
    out = digits(out, t.minute(), 2);
    *out++ = ':';
    out = digits(out, t.second(), 2);
    *out++ = offset < 0 ? '-' : '+';
    out = digits(out, minutes / 60, 2);
    *out++ = ':';
    return digits(out, minutes % 60, 2);
}

// A field as it goes into the file, kept for the next line while the text stays the same: the
// unit, the basis and the item repeat from line to line.
class CachedField
{
public:
    const QByteArray &of(const QString &text, QChar separator)
    {
        if (text != m_text || m_bytes.isNull()) {
            m_text = text;
            m_bytes = CsvExporter::field(text, separator).toUtf8();
        }
        return m_bytes;
    }

private:
    QString m_text;
    QByteArray m_bytes;
};
} // namespace

CsvExporter::Options CsvExporter::localeOptions(const QLocale &locale)
{
    Options options;
    if (locale.decimalPoint() == QLatin1Char(',')) {
        options.decimal = QLatin1Char(',');
        options.separator = QLatin1Char(';');
    }
    return options;
}

QString CsvExporter::field(const QString &text, QChar separator)
{
    const bool quoted = text.contains(separator) || text.contains(QLatin1Char('"')) ||
                        text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
    if (!quoted)
        return text;
    QString inner = text;
    inner.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

QString CsvExporter::fileNameFor(const QString &itemName, QStringList *taken)
{
    QString base;
    for (const QChar c : itemName)
        base += c < QLatin1Char(' ') || QStringLiteral("<>:\"/\\|?*").contains(c) ? QLatin1Char('_')
                                                                                  : c;
    // Windows drops trailing dots and blanks, and keeps a few names for devices.
    while (base.endsWith(QLatin1Char('.')) || base.endsWith(QLatin1Char(' ')))
        base.chop(1);
    static const QStringList devices{"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2",
                                     "COM3", "COM4", "LPT1", "LPT2", "LPT3"};
    if (base.isEmpty() || devices.contains(base, Qt::CaseInsensitive))
        base = QLatin1Char('_') + base;
    QString name = base + QStringLiteral(".csv");
    for (int n = 2; taken->contains(name, Qt::CaseInsensitive); ++n)
        name = QStringLiteral("%1 (%2).csv").arg(base).arg(n);
    taken->append(name);
    return name;
}

bool CsvExporter::write(QIODevice *out, const QList<const ItemData *> &items,
                        const Options &options, const Progress &progress, QString *error)
{
    qint64 total = 0;
    for (const ItemData *item : items)
        total += item->readings().size();
    const QChar sep = options.separator;
    const auto line = [sep](const QStringList &fields) {
        QString text;
        for (int i = 0; i < fields.size(); ++i) {
            if (i > 0)
                text += sep;
            text += CsvExporter::field(fields.at(i), sep);
        }
        return text + QLatin1String("\r\n");
    };
    QStringList header{tr("No."),   tr("Time"),       tr("Value"),   tr("Unit"),
                       tr("Basis"), tr("Over range"), tr("Excluded")};
    if (options.itemColumn)
        header.prepend(tr("Item"));

    QByteArray chunk;
    if (options.byteOrderMark)
        chunk = QByteArrayLiteral("\xEF\xBB\xBF");
    chunk += line(header).toUtf8();
    qint64 written = 0;
    const auto flush = [&] {
        if (out->write(chunk) != chunk.size()) {
            *error = out->errorString();
            return false;
        }
        chunk.clear();
        return true;
    };
    const char sepChar = char(sep.toLatin1());
    const char decimalChar = char(options.decimal.toLatin1());
    CachedField itemField;
    CachedField unitField;
    CachedField basisField;
    UtcOffsetCache offsets;
    for (const ItemData *item : items) {
        const QList<DmmData *> readings = item->readings();
        const bool micrometre = item->isMicrometre();
        const QByteArray &unit = unitField.of(item->unit(), sep);
        for (int i = 0; i < readings.size(); ++i) {
            const DmmData *reading = readings.at(i);
            if (options.itemColumn) {
                chunk += itemField.of(item->name(), sep);
                chunk += sepChar;
            }
            // The number, time and value of a line; the fields of text are appended as they are.
            char text[16 + TimeSize + 32];
            char *end = std::to_chars(text, text + 16, i + 1).ptr;
            *end++ = sepChar;
            end = isoTime(end, reading->time(), &offsets);
            *end++ = sepChar;
            // The value itself, not the gauge's text: that may be in another unit. As printf's
            // "%.15g" writes it, which to_chars does faster.
            const double number = ItemData::valueOf(reading, micrometre);
            if (std::isfinite(number)) {
                char *value = end;
                end = std::to_chars(end, end + 32, number, std::chars_format::general, 15).ptr;
                if (decimalChar != '.')
                    std::replace(value, end, '.', decimalChar);
            }
            *end++ = sepChar;
            chunk.append(text, int(end - text));
            chunk += unit;
            chunk += sepChar;
            chunk += basisField.of(reading->basis(), sep);
            chunk += sepChar;
            if (!std::isfinite(number))
                chunk += number < 0 ? "-OL" : "OL";
            chunk += sepChar;
            if (item->isExcluded(i))
                chunk += CsvExporter::field(item->exclusionReason(i), sep).toUtf8();
            chunk += "\r\n";
            if (++written % ChunkReadings == 0) {
                if (!flush())
                    return false;
                if (progress && !progress(written, total)) {
                    error->clear();
                    return false;
                }
            }
        }
    }
    if (!flush())
        return false;
    if (progress)
        progress(written, total);
    return true;
}

bool CsvExporter::writeFile(const QString &fileName, const QList<const ItemData *> &items,
                            const Options &options, const Progress &progress, QString *error)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (!write(&file, items, options, progress, error)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
