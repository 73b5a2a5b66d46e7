#include "simgaugesettings.h"

#include <cmath>
#include <limits>

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>

namespace {

// Bounds that keep the simulation sane: a faster rate would flood the event loop, and the largest
// memory is far beyond any real gauge's.
constexpr int MinIntervalMs = 10;
constexpr int MaxIntervalMs = 3600 * 1000;
constexpr int MaxStoredReadings = 1000000;

int readInt(const QSettings &ini, const QString &key, int fallback, int min, int max,
            QStringList *warnings)
{
    if (!ini.contains(key))
        return fallback;
    bool ok = false;
    const int value = ini.value(key).toString().trimmed().toInt(&ok);
    if (!ok) {
        warnings->append(
            QCoreApplication::translate("SimGauge", "%1 is not a whole number").arg(key));
        return fallback;
    }
    if (value < min || value > max)
        warnings->append(QCoreApplication::translate("SimGauge", "%1 limited to %2 to %3")
                             .arg(key)
                             .arg(min)
                             .arg(max));
    return qBound(min, value, max);
}

// Returns NaN when the key is absent or unusable, so that the caller can apply its own default.
double readNonNegative(const QSettings &ini, const QString &key, QStringList *warnings)
{
    if (!ini.contains(key))
        return std::nan("");
    bool ok = false;
    const double value = ini.value(key).toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0.0) {
        warnings->append(
            QCoreApplication::translate("SimGauge", "%1 is not a number of 0 or more").arg(key));
        return std::nan("");
    }
    return value;
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

    const QSettings ini(fileName, QSettings::IniFormat);
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
        else if (unit != QLatin1String("um") && unit != QStringLiteral("\u03BCm"))
            s.warnings.append(QCoreApplication::translate("SimGauge", "unit is um or mil"));
    }
    if (ini.contains(QStringLiteral("basis"))) {
        const QString basis = ini.value(QStringLiteral("basis")).toString().trimmed().toLower();
        if (basis == QLatin1String("nfe"))
            s.basis = QStringLiteral("NFe");
        else if (basis != QLatin1String("fe"))
            s.warnings.append(QCoreApplication::translate("SimGauge", "basis is Fe or NFe"));
    }

    // A thickness of 120 μm is about 4.72 mil; the spread defaults to 5 % of the nominal.
    const double nominal = readNonNegative(ini, QStringLiteral("nominal"), &s.warnings);
    s.nominal = std::isnan(nominal) ? (s.micrometres ? 120.0 : 4.72) : nominal;
    const double spread = readNonNegative(ini, QStringLiteral("spread"), &s.warnings);
    s.spread = std::isnan(spread) ? s.nominal * 0.05 : spread;

    if (ini.contains(QStringLiteral("seed"))) {
        bool ok = false;
        const uint seed = ini.value(QStringLiteral("seed")).toString().trimmed().toUInt(&ok);
        if (ok)
            s.seed = seed;
        else
            s.warnings.append(QCoreApplication::translate("SimGauge", "seed is a whole number "
                                                                      "from 0 to 4294967295"));
    }
    return s;
}

QString SimGaugeSettings::defaultFileName()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Lib/simgauge.ini");
}
