#include "coatingevaluator.h"

#include <algorithm>
#include <cmath>

#include <QCoreApplication>

#include "dmmdata.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CoatingEvaluator", text);
}

// Limits and readings are decimal numbers that a double holds only approximately: 0.8 x 4.72 mil
// need not equal a reading of 3.776 bit for bit. A reading this close to a limit counts as on it.
double tolerance(double limit)
{
    return 1e-9 * std::max(1.0, std::abs(limit));
}

bool below(double value, double limit)
{
    return value < limit - tolerance(limit);
}

bool above(double value, double limit)
{
    return value > limit + tolerance(limit);
}

QString percent(double value)
{
    return QString::number(value, 'g', 3);
}

} // namespace

void CoatingEvaluator::Offence::note(int index)
{
    ++readingCount;
    if (readings.size() < MaxListed)
        readings.append(index + 1);
}

CoatingEvaluator::CoatingEvaluator(const CoatingRequirement &requirement)
    : m_requirement(requirement)
{
}

void CoatingEvaluator::add(const DmmData &reading)
{
    add(m_requirement.isMicrometre() ? reading.umValue() : reading.milValue(),
        reading.overload() != 0);
}

void CoatingEvaluator::add(double value, bool overRange)
{
    const int index = m_marks.size();
    m_marks.append(Unmarked);
    m_firstChanged = index;
    if (overRange || !std::isfinite(value)) {
        ++m_overRange;
        m_marks[index] = OverRange;
        return;
    }
    switch (m_requirement.rule) {
    case CoatingRequirement::Limits:
        addLimits(index, value);
        break;
    case CoatingRequirement::Iso19840:
        addIso(index, value);
        break;
    case CoatingRequirement::SspcPa2:
        addSspc(index, value);
        break;
    case CoatingRequirement::NoRule:
        break;
    }
}

CoatingEvaluator::Mark CoatingEvaluator::mark(int index) const
{
    return index >= 0 && index < m_marks.size() ? Mark(m_marks.at(index)) : Unmarked;
}

void CoatingEvaluator::addLimits(int index, double value)
{
    ++m_count;
    m_sum += value;
    if (below(value, m_requirement.minimum)) {
        m_marks[index] = Low;
        ++m_low.count;
        m_low.note(index);
    } else if (above(value, m_requirement.maximum)) {
        m_marks[index] = High;
        ++m_high.count;
        m_high.note(index);
    }
}

void CoatingEvaluator::addIso(int index, double value)
{
    const double corrected = value - m_requirement.roughness;
    ++m_count;
    m_sum += corrected;
    if (below(corrected, m_requirement.nominal)) {
        ++m_belowNominal.count;
        m_belowNominal.note(index);
        m_marks[index] = BelowNominal;
        if (below(corrected, 0.8 * m_requirement.nominal)) {
            ++m_low.count;
            m_low.note(index);
            m_marks[index] = Low;
        }
    } else if (m_requirement.hasMaximum && above(corrected, m_requirement.maximum)) {
        ++m_high.count;
        m_high.note(index);
        m_marks[index] = High;
    }
}

void CoatingEvaluator::addSspc(int index, double value)
{
    ++m_count;
    m_sum += value;
    m_spotIndexes.append(index);
    m_spotSum += value;
    if (m_spotIndexes.size() == m_requirement.readingsPerSpot)
        judgeSpot();
}

void CoatingEvaluator::judgeSpot()
{
    const double mean = m_spotSum / m_spotIndexes.size();
    ++m_spots;
    if (below(mean, m_requirement.spotLow()))
        markGroup(m_spotIndexes, Low, &m_lowSpots, m_spots, mean);
    else if (above(mean, m_requirement.spotHigh()))
        markGroup(m_spotIndexes, High, &m_highSpots, m_spots, mean);
    m_areaIndexes += m_spotIndexes;
    m_spotIndexes.clear();
    m_spotSum = 0.0;
    ++m_areaSpots;
    m_areaSpotSum += mean;
    if (m_areaSpots == m_requirement.spotsPerArea)
        judgeArea();
}

void CoatingEvaluator::judgeArea()
{
    const double mean = m_areaSpotSum / m_areaSpots;
    ++m_areas;
    if (below(mean, m_requirement.minimum))
        markGroup(m_areaIndexes, Low, &m_lowAreas, m_areas, mean);
    else if (above(mean, m_requirement.maximum))
        markGroup(m_areaIndexes, High, &m_highAreas, m_areas, mean);
    m_areaIndexes.clear();
    m_areaSpots = 0;
    m_areaSpotSum = 0.0;
}

void CoatingEvaluator::markGroup(const QVector<int> &indexes, Mark mark, Offence *offence,
                                 int group, double mean)
{
    if (offence->count == 0) {
        offence->firstGroup = group;
        offence->firstMean = mean;
    }
    ++offence->count;
    if (!indexes.isEmpty())
        m_firstChanged = std::min(m_firstChanged, indexes.first());
    for (int index : indexes) {
        offence->note(index);
        // A reading of a failed spot keeps that mark when its area fails too.
        if (m_marks.at(index) == Unmarked)
            m_marks[index] = mark;
    }
}

CoatingVerdict::State CoatingEvaluator::state() const
{
    if (!m_requirement.isSet())
        return CoatingVerdict::NotJudged;
    switch (m_requirement.rule) {
    case CoatingRequirement::Limits:
        if (m_low.happened() || m_high.happened())
            return CoatingVerdict::Fail;
        break;
    case CoatingRequirement::Iso19840:
        if (m_count > 0 && (below(m_sum / m_count, m_requirement.nominal) || m_low.happened() ||
                            m_high.happened() || m_belowNominal.count * 5 >= m_count))
            return CoatingVerdict::Fail;
        break;
    case CoatingRequirement::SspcPa2:
        if (m_lowSpots.happened() || m_highSpots.happened() || m_lowAreas.happened() ||
            m_highAreas.happened())
            return CoatingVerdict::Fail;
        if (m_areas == 0 || !m_spotIndexes.isEmpty() || m_areaSpots > 0)
            return CoatingVerdict::Pending;
        return CoatingVerdict::Pass;
    case CoatingRequirement::NoRule:
        break;
    }
    return m_count == 0 ? CoatingVerdict::Pending : CoatingVerdict::Pass;
}

CoatingVerdict CoatingEvaluator::verdict() const
{
    CoatingVerdict verdict;
    verdict.state = state();
    verdict.overRange = m_overRange;
    if (verdict.state == CoatingVerdict::NotJudged)
        return verdict;

    const auto fail = [&](const QString &text, const Offence &offence) {
        verdict.failures.append({text, offence.readings, offence.readingCount});
    };
    const auto readingsText = [](int count) {
        return count == 1 ? tr("1 reading") : tr("%1 readings").arg(count);
    };
    switch (m_requirement.rule) {
    case CoatingRequirement::Limits:
        if (m_low.happened())
            fail(tr("%1 below the minimum %2")
                     .arg(readingsText(m_low.count), m_requirement.format(m_requirement.minimum)),
                 m_low);
        if (m_high.happened())
            fail(tr("%1 above the maximum %2")
                     .arg(readingsText(m_high.count), m_requirement.format(m_requirement.maximum)),
                 m_high);
        break;
    case CoatingRequirement::Iso19840: {
        if (m_count == 0)
            break;
        const QString corrected = m_requirement.roughness > 0.0
                                      ? tr(" (readings less %1 roughness)")
                                            .arg(m_requirement.format(m_requirement.roughness))
                                      : QString();
        const double mean = m_sum / m_count;
        if (below(mean, m_requirement.nominal))
            fail(tr("mean %1 below the NDFT %2%3")
                     .arg(m_requirement.format(mean), m_requirement.format(m_requirement.nominal),
                          corrected),
                 Offence());
        if (m_low.happened())
            fail(tr("%1 below 80 % of the NDFT (%2)%3")
                     .arg(readingsText(m_low.count),
                          m_requirement.format(0.8 * m_requirement.nominal), corrected),
                 m_low);
        if (m_belowNominal.count * 5 >= m_count)
            fail(tr("%1 of %2 readings (%3 %) below the NDFT %4%5; fewer than 20 % may be")
                     .arg(m_belowNominal.count)
                     .arg(m_count)
                     .arg(percent(100.0 * m_belowNominal.count / m_count))
                     .arg(m_requirement.format(m_requirement.nominal), corrected),
                 m_belowNominal);
        if (m_high.happened())
            fail(tr("%1 above the maximum %2%3")
                     .arg(readingsText(m_high.count), m_requirement.format(m_requirement.maximum),
                          corrected),
                 m_high);
        break;
    }
    case CoatingRequirement::SspcPa2:
        appendSspcFailures(&verdict);
        break;
    case CoatingRequirement::NoRule:
        break;
    }
    if (verdict.state == CoatingVerdict::Pending)
        verdict.pending = pendingText();
    return verdict;
}

void CoatingEvaluator::appendSspcFailures(CoatingVerdict *verdict) const
{
    const auto fail = [&](const QString &first, const Offence &offence, const QString &kind) {
        QString text = first;
        if (offence.count > 1)
            text += tr(" (%1 %2 in all)").arg(offence.count).arg(kind);
        verdict->failures.append({text, offence.readings, offence.readingCount});
    };
    const QString spots = tr("spots");
    const QString areas = tr("areas");
    if (m_lowSpots.happened())
        fail(tr("spot %1 mean %2 below %3 % of the minimum (%4)")
                 .arg(m_lowSpots.firstGroup)
                 .arg(m_requirement.format(m_lowSpots.firstMean),
                      percent(m_requirement.spotLowerPercent),
                      m_requirement.format(m_requirement.spotLow())),
             m_lowSpots, spots);
    if (m_highSpots.happened())
        fail(tr("spot %1 mean %2 above %3 % of the maximum (%4)")
                 .arg(m_highSpots.firstGroup)
                 .arg(m_requirement.format(m_highSpots.firstMean),
                      percent(m_requirement.spotUpperPercent),
                      m_requirement.format(m_requirement.spotHigh())),
             m_highSpots, spots);
    if (m_lowAreas.happened())
        fail(tr("area %1 mean %2 below the minimum %3")
                 .arg(m_lowAreas.firstGroup)
                 .arg(m_requirement.format(m_lowAreas.firstMean),
                      m_requirement.format(m_requirement.minimum)),
             m_lowAreas, areas);
    if (m_highAreas.happened())
        fail(tr("area %1 mean %2 above the maximum %3")
                 .arg(m_highAreas.firstGroup)
                 .arg(m_requirement.format(m_highAreas.firstMean),
                      m_requirement.format(m_requirement.maximum)),
             m_highAreas, areas);
}

QString CoatingEvaluator::pendingText() const
{
    if (m_requirement.rule != CoatingRequirement::SspcPa2)
        return tr("no readings yet");
    return tr("area %1: %2 of %3 spots, spot %4: %5 of %6 readings")
        .arg(m_areas + 1)
        .arg(m_areaSpots)
        .arg(m_requirement.spotsPerArea)
        .arg(m_spots + 1)
        .arg(m_spotIndexes.size())
        .arg(m_requirement.readingsPerSpot);
}
