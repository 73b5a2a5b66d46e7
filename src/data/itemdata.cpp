#include "itemdata.h"

#include <algorithm>
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

void ItemData::appendReadings(const QList<DmmData *> &readings, const QVector<QString> &exclusions)
{
    const int first = m_readings.size();
    m_readings.append(readings);
    const bool judged = m_requirement.isSet();
    for (int i = 0; i < readings.size(); ++i) {
        const QString reason = exclusions.value(i);
        if (reason.isEmpty()) {
            accumulate(readings.at(i));
            if (judged)
                m_evaluator.add(*readings.at(i));
            continue;
        }
        m_exclusions.resize(first + i + 1);
        m_exclusions.last() = reason;
        ++m_excludedCount;
        if (judged)
            m_evaluator.addExcluded();
    }
    refreshStatisticsTexts();
}

void ItemData::updateStatistics()
{
    m_micrometres.reset();
    m_mils.reset();
    for (int i = 0; i < m_readings.size(); ++i) {
        if (!isExcluded(i))
            accumulate(m_readings.at(i));
    }
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
    m_exclusions.clear();
    m_excludedCount = 0;
    m_trail.clear();
    return taken;
}

bool ItemData::isExcluded(int index) const
{
    return index >= 0 && index < m_exclusions.size() && !m_exclusions.at(index).isEmpty();
}

QString ItemData::exclusionReason(int index) const
{
    return index >= 0 && index < m_exclusions.size() ? m_exclusions.at(index) : QString();
}

void ItemData::setExcluded(const QVector<int> &indexes, const QString &reason)
{
    if (!reason.isEmpty() && m_exclusions.size() < m_readings.size())
        m_exclusions.resize(m_readings.size());
    for (int index : indexes) {
        if (index < 0 || index >= m_exclusions.size())
            continue;
        QString &current = m_exclusions[index];
        m_excludedCount += int(!reason.isEmpty()) - int(!current.isEmpty());
        current = reason;
    }
    recount();
}

void ItemData::setExclusions(const QVector<QString> &reasons)
{
    m_exclusions = reasons.mid(0, m_readings.size());
    m_excludedCount = int(std::count_if(m_exclusions.cbegin(), m_exclusions.cend(),
                                        [](const QString &reason) { return !reason.isEmpty(); }));
    recount();
}

void ItemData::recount()
{
    m_micrometres.reset();
    m_mils.reset();
    m_evaluator = CoatingEvaluator(m_requirement);
    const bool judged = m_requirement.isSet();
    for (int i = 0; i < m_readings.size(); ++i) {
        const DmmData *reading = m_readings.at(i);
        if (isExcluded(i)) {
            if (judged)
                m_evaluator.addExcluded();
            continue;
        }
        accumulate(reading);
        if (judged)
            m_evaluator.add(*reading);
    }
    if (m_published || !m_readings.isEmpty())
        publishStatistics();
}

void ItemData::setRequirement(const CoatingRequirement &requirement)
{
    m_requirement = requirement;
    m_evaluator = CoatingEvaluator(requirement);
    if (!requirement.isSet())
        return;
    for (int i = 0; i < m_readings.size(); ++i) {
        if (isExcluded(i))
            m_evaluator.addExcluded();
        else
            m_evaluator.add(*m_readings.at(i));
    }
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
    m_statistics.num = run.count() + m_excludedCount;
    m_statistics.excluded = m_excludedCount;
    // With every reading excluded there is nothing to show, which a 0 would hide.
    const bool noneLeft = run.count() == 0 && m_excludedCount > 0;
    m_statistics.avg = noneLeft ? QStringLiteral("-") : formatStatistic(run.average());
    m_statistics.min = noneLeft ? QStringLiteral("-") : formatStatistic(run.minimum());
    m_statistics.max = noneLeft ? QStringLiteral("-") : formatStatistic(run.maximum());
    m_statistics.overRange = run.overRangeCount();
    const double deviation = run.standardDeviation();
    const double variation = run.coefficientOfVariation();
    m_statistics.sd = std::isnan(deviation) ? QStringLiteral("-") : formatStatistic(deviation);
    m_statistics.cv = std::isnan(variation) ? QStringLiteral("-")
                                            : QString::number(variation, 'f', 1) + QLatin1Char('%');
    m_published = true;
}
