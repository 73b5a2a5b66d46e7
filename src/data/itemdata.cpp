#include "itemdata.h"

#include <cmath>
#include <limits>

#include <QtAlgorithms>

#include "dmmdata.h"

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
    m_unit = unit;
}

bool ItemData::isMicrometre() const
{
    return m_unit == QStringLiteral("\u03BCm");
}

double ItemData::valueOf(const DmmData *reading) const
{
    return valueOf(reading, isMicrometre());
}

double ItemData::valueOf(const DmmData *reading, bool micrometre)
{
    if (reading->overload() != 0)
        return reading->overload() > 0 ? std::numeric_limits<double>::infinity()
                                       : -std::numeric_limits<double>::infinity();
    const double value = micrometre ? reading->umValue() : reading->milValue();
    // A value that is no number measured nothing: it counts as over range, as "OL" does, so that
    // it reaches neither the statistics nor the histogram and the chart as a thickness.
    return std::isnan(value) ? std::numeric_limits<double>::infinity() : value;
}

QString ItemData::textOf(const DmmData *reading) const
{
    return isMicrometre() ? reading->umText() : reading->milText();
}

void ItemData::appendReading(DmmData *reading, bool updateStatistics)
{
    m_readings.append(reading);
    accumulate(reading);
    if (m_requirement.isSet())
        m_evaluator.add(*reading);
    if (updateStatistics)
        publishStatistics();
}

void ItemData::updateStatistics()
{
    m_micrometres.reset();
    m_mils.reset();
    for (const DmmData *reading : qAsConst(m_readings))
        accumulate(reading);
    publishStatistics();
}

void ItemData::refreshStatisticsTexts()
{
    if (m_published || !m_readings.isEmpty())
        publishStatistics();
}

void ItemData::clearReadings()
{
    qDeleteAll(takeReadings());
}

QList<DmmData *> ItemData::takeReadings()
{
    QList<DmmData *> taken;
    taken.swap(m_readings);
    m_statistics = StatData();
    m_evaluator = CoatingEvaluator(m_requirement);
    m_micrometres.reset();
    m_mils.reset();
    m_published = false;
    return taken;
}

void ItemData::setRequirement(const CoatingRequirement &requirement)
{
    m_requirement = requirement;
    m_evaluator = CoatingEvaluator(requirement);
    if (!requirement.isSet())
        return;
    for (const DmmData *reading : qAsConst(m_readings))
        m_evaluator.add(*reading);
}

QString ItemData::formatStatistic(double value) const
{
    if (value < 0)
        return QStringLiteral("-OL");
    if (value > m_rangeUm)
        return QStringLiteral(" OL");
    return QString::number(value, 'f', isMicrometre() ? 1 : 2);
}

void ItemData::accumulate(const DmmData *reading)
{
    m_micrometres.add(valueOf(reading, true));
    m_mils.add(valueOf(reading, false));
}

void ItemData::publishStatistics()
{
    const RunningStatistics &run = isMicrometre() ? m_micrometres : m_mils;
    m_statistics.num = run.count();
    m_statistics.avg = formatStatistic(run.average());
    m_statistics.min = formatStatistic(run.minimum());
    m_statistics.max = formatStatistic(run.maximum());
    m_statistics.overRange = run.overRangeCount();
    const double deviation = run.standardDeviation();
    const double variation = run.coefficientOfVariation();
    m_statistics.sd = std::isnan(deviation) ? QStringLiteral("-") : formatStatistic(deviation);
    m_statistics.cv = std::isnan(variation) ? QStringLiteral("-")
                                            : QString::number(variation, 'f', 1) + QLatin1Char('%');
    m_published = true;
}
