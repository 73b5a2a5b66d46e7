#include "data/itemdata.h"

#include <cmath>

#include <QtAlgorithms>

#include "dmmdata.h"

namespace {
// Statistics above this many units (micrometres or mils alike) show as over range.
constexpr double OverRangeLimit = 1250.0;
} // namespace

ItemData::ItemData(const QString &name, DataType type, QObject *parent)
    : QObject(parent)
    , m_name(name)
    , m_dataType(type)
{
}

ItemData::~ItemData()
{
    qDeleteAll(m_readings);
}

void ItemData::setUnit(const QString &unit)
{
    if (unit != m_unit)
        m_runningValid = false;
    m_unit = unit;
}

bool ItemData::isMicrometre() const
{
    return m_unit == QStringLiteral("\u03BCm");
}

void ItemData::appendReading(DmmData *reading, bool updateStatistics)
{
    m_readings.append(reading);
    if (m_specification.isSet())
        m_evaluator.add(*reading);
    if (m_runningValid)
        accumulate(valueOf(reading));
    if (!updateStatistics)
        return;
    if (m_runningValid)
        publishStatistics();
    else
        this->updateStatistics();
}

void ItemData::updateStatistics()
{
    m_spread.clear();
    m_runCount = 0;
    m_runSum = 0.0;
    m_runMin = 0.0;
    m_runMax = 0.0;
    for (const DmmData *reading : qAsConst(m_readings))
        accumulate(valueOf(reading));
    m_runningValid = true;
    publishStatistics();
}

void ItemData::clearReadings()
{
    qDeleteAll(m_readings);
    m_readings.clear();
    m_statistics = StatData();
    m_evaluator = CoatingEvaluator(m_specification);
    m_runningValid = true;
    m_spread.clear();
    m_runCount = 0;
    m_runSum = 0.0;
    m_runMin = 0.0;
    m_runMax = 0.0;
}

void ItemData::setSpecification(const CoatingSpecification &specification)
{
    m_specification = specification;
    m_evaluator = CoatingEvaluator(specification);
    if (!specification.isSet())
        return;
    for (const DmmData *reading : qAsConst(m_readings))
        m_evaluator.add(*reading);
}

QString ItemData::formatStatistic(double value) const
{
    if (value < 0)
        return QStringLiteral("-OL");
    if (value > OverRangeLimit)
        return QStringLiteral(" OL");
    return QString::number(value, 'f', isMicrometre() ? 1 : 2);
}

double ItemData::valueOf(const DmmData *reading) const
{
    return isMicrometre() ? reading->umValue() : reading->milValue();
}

// One step of the statistics pass; the order of additions and the comparisons decide the last
// bits of the texts, so incremental and full passes must share this code.
void ItemData::accumulate(double value)
{
    if (m_runCount == 0) {
        m_runMin = value;
        m_runMax = value;
    }
    ++m_runCount;
    m_runSum += value;
    m_spread.add(value);
    if (value <= m_runMin)
        m_runMin = value;
    if (value > m_runMax)
        m_runMax = value;
}

void ItemData::publishStatistics()
{
    const double average = m_runCount > 0 ? m_runSum / m_runCount : 0.0;
    m_statistics.num = m_runCount;
    m_statistics.avg = formatStatistic(average);
    m_statistics.min = formatStatistic(m_runMin);
    m_statistics.max = formatStatistic(m_runMax);
    publishSpread();
}

void ItemData::publishSpread()
{
    const double deviation = m_spread.standardDeviation();
    const double variation = m_spread.coefficientOfVariation();
    m_statistics.sd = std::isnan(deviation) ? QStringLiteral("-") : formatStatistic(deviation);
    m_statistics.cv = std::isnan(variation) ? QStringLiteral("-")
                                            : QString::number(variation, 'f', 1) + QLatin1Char('%');
}
