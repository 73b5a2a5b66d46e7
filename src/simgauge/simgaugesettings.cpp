#include "simgaugesettings.h"

#include <cmath>
#include <limits>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTextCodec>

namespace {

// Bounds that keep the simulation sane: a faster rate would flood the event loop, and the largest
// memory is far beyond any real gauge's.
constexpr int MinIntervalMs = 10;
constexpr int MaxIntervalMs = 3600 * 1000;
constexpr int MaxStoredReadings = 1000000;
// Ten millimetres of coating is far beyond the probe's range; readings stay short numbers.
constexpr double MaxNominalUm = 10000.0;
constexpr double MaxNominalMil = 400.0;
constexpr double MaxSpreadUm = 1000.0;
constexpr double MaxSpreadMil = 40.0;
// A settings file is a few hundred bytes; anything much larger is not one.
constexpr qint64 MaxFileBytes = 64 * 1024;

QString tr(const char *text)
{
    return QCoreApplication::translate("SimGauge", text);
}

QString number(double value)
{
    return QString::number(value, 'g', 10);
}

int readInt(const QSettings &ini, const QString &key, int fallback, int min, int max,
            QStringList *warnings)
{
    if (!ini.contains(key))
        return fallback;
    const QString text = ini.value(key).toString().trimmed();
    // Digits beyond the integer range are still a whole number: it is limited like any other.
    static const QRegularExpression whole(QStringLiteral("^[+-]?\\d+$"));
    if (!whole.match(text).hasMatch()) {
        warnings->append(tr("%1 is not a whole number, %2 used").arg(key).arg(fallback));
        return fallback;
    }
    bool ok = false;
    const qlonglong parsed = text.toLongLong(&ok);
    const bool negative = text.startsWith(QLatin1Char('-'));
    const qlonglong value = ok ? parsed
                               : (negative ? std::numeric_limits<qlonglong>::min()
                                           : std::numeric_limits<qlonglong>::max());
    const int bounded = static_cast<int>(qBound<qlonglong>(min, value, max));
    if (value < min || value > max)
        warnings->append(
            tr("%1 limited to %2 to %3, %4 used").arg(key).arg(min).arg(max).arg(bounded));
    return bounded;
}

// Returns NaN when the key is absent or unusable, so that the caller can apply its own default.
double readBounded(const QSettings &ini, const QString &key, double max, double fallback,
                   QStringList *warnings)
{
    if (!ini.contains(key))
        return std::nan("");
    bool ok = false;
    const double value = ini.value(key).toString().trimmed().toDouble(&ok);
    if (!ok || std::isnan(value)) {
        warnings->append(tr("%1 is not a number, %2 used").arg(key, number(fallback)));
        return std::nan("");
    }
    if (value < 0.0 || value > max) {
        const double bounded = qBound(0.0, value, max);
        warnings->append(
            tr("%1 limited to 0 to %2, %3 used").arg(key, number(max), number(bounded)));
        return bounded;
    }
    return value;
}

enum class Encoding { Utf8, Latin1, Binary };

// QSettings takes any bytes as an INI file, so a binary file would silently give every default.
// Text that is not UTF-8 comes from an editor saving in a Western 8-bit code page.
Encoding encodingOf(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileBytes)
        return Encoding::Binary;
    const QByteArray bytes = file.readAll();
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return Encoding::Binary;
    }
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 ? Encoding::Utf8 : Encoding::Latin1;
}

bool isMicrometreText(const QString &unit)
{
    // The Greek mu and the micro sign look alike; keyboards type either.
    return unit == QLatin1String("um") || unit == QStringLiteral("\u03BCm") ||
           unit == QStringLiteral("\u00B5m");
}

} // namespace

QString SimGaugeSettings::unitText() const
{
    return micrometres ? QStringLiteral("\u03BCm") : QStringLiteral("mil");
}

SimGaugeSettings SimGaugeSettings::load(const QString &fileName)
{
    SimGaugeSettings s;
    s.fileFound = QFileInfo(fileName).isFile();
    if (!s.fileFound)
        return s;
    const Encoding encoding = encodingOf(fileName);
    if (encoding == Encoding::Binary) {
        s.warnings.append(tr("not a text file, every default used"));
        return s;
    }

    QSettings ini(fileName, QSettings::IniFormat);
    if (encoding == Encoding::Utf8) {
        ini.setIniCodec("UTF-8");
    } else {
        ini.setIniCodec("ISO-8859-1");
        s.warnings.append(tr("not UTF-8, read as Latin-1"));
    }
    if (ini.status() != QSettings::NoError) {
        s.warnings.append(tr("not in INI format, every default used"));
        return s;
    }
    s.intervalMs = readInt(ini, QStringLiteral("intervalMs"), s.intervalMs, MinIntervalMs,
                           MaxIntervalMs, &s.warnings);
    s.storedReadings = readInt(ini, QStringLiteral("storedReadings"), s.storedReadings, 0,
                               MaxStoredReadings, &s.warnings);
    s.overloadEvery = readInt(ini, QStringLiteral("overloadEvery"), s.overloadEvery, 0,
                              std::numeric_limits<int>::max(), &s.warnings);

    if (ini.contains(QStringLiteral("unit"))) {
        const QString unit = ini.value(QStringLiteral("unit")).toString().trimmed().toLower();
        if (unit == QLatin1String("mil"))
            s.micrometres = false;
        else if (!isMicrometreText(unit))
            s.warnings.append(tr("unit is um or mil, um used"));
    }
    if (ini.contains(QStringLiteral("basis"))) {
        const QString basis = ini.value(QStringLiteral("basis")).toString().trimmed().toLower();
        if (basis == QLatin1String("nfe"))
            s.basis = QStringLiteral("NFe");
        else if (basis != QLatin1String("fe"))
            s.warnings.append(tr("basis is Fe or NFe, Fe used"));
    }

    // A thickness of 120 μm is about 4.72 mil; the spread defaults to 5 % of the nominal.
    const double defaultNominal = s.micrometres ? 120.0 : 4.72;
    const double nominal =
        readBounded(ini, QStringLiteral("nominal"), s.micrometres ? MaxNominalUm : MaxNominalMil,
                    defaultNominal, &s.warnings);
    s.nominal = std::isnan(nominal) ? defaultNominal : nominal;
    const double spread =
        readBounded(ini, QStringLiteral("spread"), s.micrometres ? MaxSpreadUm : MaxSpreadMil,
                    s.nominal * 0.05, &s.warnings);
    s.spread = std::isnan(spread) ? s.nominal * 0.05 : spread;

    if (ini.contains(QStringLiteral("seed"))) {
        bool ok = false;
        const uint seed = ini.value(QStringLiteral("seed")).toString().trimmed().toUInt(&ok);
        if (ok)
            s.seed = seed;
        else
            s.warnings.append(tr("seed is a whole number from 0 to 4294967295, 0 used"));
    }
    return s;
}

QString SimGaugeSettings::defaultFileName()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Lib/simgauge.ini");
}
