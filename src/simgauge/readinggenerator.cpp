#include "readinggenerator.h"

#include <algorithm>
#include <cmath>

#include <QDateTime>

#include "dmmdata.h"

namespace {

constexpr double UmPerMil = 25.4;
constexpr double Pi = 3.14159265358979323846;

} // namespace

ReadingGenerator::ReadingGenerator(const SimGaugeSettings &settings, quint32 seed)
    : m_settings(settings)
    , m_engine(seed)
{
}

std::unique_ptr<DmmData> ReadingGenerator::next(const QDateTime &time)
{
    auto reading = std::make_unique<DmmData>();
    reading->setTime(time);
    reading->setUnit(m_settings.unitText());
    reading->setBasis(m_settings.basis);

    ++m_count;
    if (m_settings.overloadEvery > 0 && m_count % m_settings.overloadEvery == 0) {
        const bool negative = m_overloads++ % 2 == 1;
        const QString text = negative ? QStringLiteral("   -OL") : QStringLiteral("    OL");
        reading->setUmValue(0.0);
        reading->setMilValue(0.0);
        reading->setUmText(text);
        reading->setMilText(text);
        reading->setOverload(negative ? -1 : 1);
        return reading;
    }

    // The gauge rounds to its display resolution in the selected unit and derives the other.
    const double thickness = std::max(0.0, m_settings.nominal + m_settings.spread * normal());
    double um = 0.0;
    double mil = 0.0;
    if (m_settings.micrometres) {
        um = std::round(thickness);
        mil = um / UmPerMil;
    } else {
        mil = std::round(thickness * 100.0) / 100.0;
        um = mil * UmPerMil;
    }
    reading->setUmValue(um);
    reading->setMilValue(mil);
    reading->setUmText(QString::number(um, 'f', 0));
    reading->setMilText(QString::number(mil, 'f', 2));
    reading->setOverload(0);
    return reading;
}

double ReadingGenerator::normal()
{
    constexpr double Range = 4294967296.0; // 2^32, the engine's output range
    const double u1 = (static_cast<double>(m_engine()) + 1.0) / (Range + 1.0); // never 0
    const double u2 = static_cast<double>(m_engine()) / Range;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * Pi * u2);
}
