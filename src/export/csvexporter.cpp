#include "csvexporter.h"

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

// "2026-03-29T01:30:15+01:00": the wall-clock time with the offset that was in force, so that
// the time means one instant. Formatted by hand: a million readings make this the export's cost.
QByteArray isoTime(const QDateTime &time, UtcOffsetCache *offsets)
{
    if (!time.isValid())
        return QByteArray();
    const QDate d = time.date();
    const QTime t = time.time();
    const int offset = offsets->offsetOf(time);
    const int minutes = std::abs(offset) / 60;
    char text[40];
    const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d",
                                d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(),
                                offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return QByteArray(text, n);
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
    QStringList header{tr("No."),  tr("Time"),  tr("Value"),
                       tr("Unit"), tr("Basis"), tr("Over range")};
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
        for (int i = 0; i < readings.size(); ++i) {
            const DmmData *reading = readings.at(i);
            if (options.itemColumn) {
                chunk += itemField.of(item->name(), sep);
                chunk += sepChar;
            }
            chunk += QByteArray::number(i + 1);
            chunk += sepChar;
            chunk += isoTime(reading->time(), &offsets);
            chunk += sepChar;
            // The value itself, not the gauge's text: that may be in another unit.
            const double number = item->valueOf(reading);
            if (std::isfinite(number)) {
                char text[32];
                const int n = std::snprintf(text, sizeof text, "%.15g", number);
                for (int c = 0; c < n; ++c) {
                    if (text[c] == '.')
                        text[c] = decimalChar;
                }
                chunk.append(text, n);
            }
            chunk += sepChar;
            chunk += unitField.of(item->unit(), sep);
            chunk += sepChar;
            chunk += basisField.of(reading->basis(), sep);
            chunk += sepChar;
            if (!std::isfinite(number))
                chunk += number < 0 ? "-OL" : "OL";
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
