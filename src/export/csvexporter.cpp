#include "csvexporter.h"

#include <cmath>

#include <QIODevice>
#include <QLocale>
#include <QSaveFile>

#include "dmmdata.h"
#include "itemdata.h"

namespace {
// Lines gathered before they go to the device, and between two progress reports.
constexpr int ChunkReadings = 4096;

QString isoTime(const QDateTime &time)
{
    if (!time.isValid())
        return QString();
    // The offset written out, also for local times, so that the time means one instant.
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}
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
    for (const ItemData *item : items) {
        const QList<DmmData *> readings = item->readings();
        for (int i = 0; i < readings.size(); ++i) {
            const DmmData *reading = readings.at(i);
            // The value itself, not the gauge's text: that may be in another unit.
            const double number = item->valueOf(reading);
            QString value;
            QString overRange;
            if (std::isfinite(number)) {
                value = QString::number(number, 'g', 15);
                value.replace(QLatin1Char('.'), options.decimal);
            } else {
                overRange = number < 0 ? QStringLiteral("-OL") : QStringLiteral("OL");
            }
            QStringList fields{QString::number(i + 1), isoTime(reading->time()), value,
                               item->unit(),           reading->basis(),         overRange};
            if (options.itemColumn)
                fields.prepend(item->name());
            chunk += line(fields).toUtf8();
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
