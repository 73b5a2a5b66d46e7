#include "sspcpa2rule.h"

#include <algorithm>
#include <cmath>

#include <QCoreApplication>

#include "coatingevaluator.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SspcPa2Rule", text);
}

constexpr double MinPercent = 1.0;
constexpr double MaxPercent = 1000.0;
constexpr int MaxGroupSize = 100;

CoatingRule::Field field(const char *key, const char *name, const QString &label,
                         CoatingRule::Field::Kind kind, double initial)
{
    CoatingRule::Field field;
    field.key = QLatin1String(key);
    field.name = QLatin1String(name);
    field.label = label;
    field.kind = kind;
    field.initial = initial;
    field.prefilled = true;
    return field;
}

bool isGroupSize(double count)
{
    return count >= 1.0 && count <= MaxGroupSize && count == std::floor(count);
}

bool isPercent(double value)
{
    return value >= MinPercent && value <= MaxPercent;
}

} // namespace

SspcPa2Rule::SspcPa2Rule()
    : CoatingRule(
          {nominalField(true), minimumField(), maximumField(false),
           field("readingsPerSpot", "ReadingsPerSpot", tr("Readings per spot"), Field::Count, 3),
           field("spotsPerArea", "SpotsPerArea", tr("Spots per area"), Field::Count, 5),
           field("spotLowerPercent", "SpotLower", tr("Spot minimum, % of the minimum"),
                 Field::Number, 80),
           field("spotUpperPercent", "SpotUpper", tr("Spot maximum, % of the maximum"),
                 Field::Number, 120)})
{
}

std::unique_ptr<CoatingRule> SspcPa2Rule::clone() const
{
    return std::make_unique<SspcPa2Rule>(*this);
}

QString SspcPa2Rule::key() const
{
    return QStringLiteral("sspcpa2");
}

QString SspcPa2Rule::name() const
{
    return QStringLiteral("SSPC-PA 2");
}

double SspcPa2Rule::spotLow() const
{
    return value(Minimum) * value(SpotLowerPercent) / 100.0;
}

double SspcPa2Rule::spotHigh() const
{
    return value(Maximum) * value(SpotUpperPercent) / 100.0;
}

QString SspcPa2Rule::problem() const
{
    const QString range = rangeProblem(Nominal, Minimum, Maximum);
    if (!range.isEmpty())
        return range;
    if (!isGroupSize(value(ReadingsPerSpot)) || !isGroupSize(value(SpotsPerArea)))
        return tr("Readings per spot and spots per area must be whole numbers from 1 to %1.")
            .arg(MaxGroupSize);
    if (!isPercent(value(SpotLowerPercent)) || !isPercent(value(SpotUpperPercent)))
        return tr("The spot percentages must lie between %1 and %2.")
            .arg(MinPercent)
            .arg(MaxPercent);
    if (spotLow() > spotHigh())
        return tr("The spot restriction leaves no room: its lower limit is above its upper "
                  "limit.");
    return QString();
}

QList<CoatingRequirement::Line> SspcPa2Rule::lines() const
{
    QList<CoatingRequirement::Line> result;
    result.append({value(Minimum), CoatingRequirement::Line::Limit, tr("Min")});
    result.append({value(Maximum), CoatingRequirement::Line::Limit, tr("Max")});
    result.append({spotLow(), CoatingRequirement::Line::Spot, tr("Spot min")});
    result.append({spotHigh(), CoatingRequirement::Line::Spot, tr("Spot max")});
    if (has(Nominal))
        result.append({value(Nominal), CoatingRequirement::Line::Nominal, tr("Nominal")});
    return result;
}

QList<QPair<QString, QString>> SspcPa2Rule::describe() const
{
    QList<QPair<QString, QString>> rows;
    if (has(Nominal))
        rows.append({tr("Nominal (NDFT)"), format(value(Nominal))});
    rows.append({tr("Minimum"), format(value(Minimum))});
    rows.append({tr("Maximum"), format(value(Maximum))});
    rows.append({tr("Readings per spot"), QString::number(int(value(ReadingsPerSpot)))});
    rows.append({tr("Spots per area"), QString::number(int(value(SpotsPerArea)))});
    rows.append({tr("Spot restriction"), tr("%1 % of the minimum (%2) to %3 % of the maximum (%4)")
                                             .arg(value(SpotLowerPercent))
                                             .arg(format(spotLow()))
                                             .arg(value(SpotUpperPercent))
                                             .arg(format(spotHigh()))});
    return rows;
}

int SspcPa2Rule::add(int index, double reading, QVector<quint8> *marks)
{
    int firstChanged = index;
    m_spotIndexes.append(index);
    m_spotSum += reading;
    if (m_spotIndexes.size() == int(value(ReadingsPerSpot)))
        judgeSpot(marks, &firstChanged);
    return firstChanged;
}

void SspcPa2Rule::judgeSpot(QVector<quint8> *marks, int *firstChanged)
{
    const double mean = m_spotSum / m_spotIndexes.size();
    ++m_spots;
    if (below(mean, spotLow()))
        markGroup(m_spotIndexes, CoatingEvaluator::Low, &m_lowSpots, m_spots, mean, marks,
                  firstChanged);
    else if (above(mean, spotHigh()))
        markGroup(m_spotIndexes, CoatingEvaluator::High, &m_highSpots, m_spots, mean, marks,
                  firstChanged);
    m_areaIndexes += m_spotIndexes;
    m_spotIndexes.clear();
    m_spotSum = 0.0;
    ++m_areaSpots;
    m_areaSpotSum += mean;
    if (m_areaSpots == int(value(SpotsPerArea)))
        judgeArea(marks, firstChanged);
}

void SspcPa2Rule::judgeArea(QVector<quint8> *marks, int *firstChanged)
{
    const double mean = m_areaSpotSum / m_areaSpots;
    ++m_areas;
    if (below(mean, value(Minimum)))
        markGroup(m_areaIndexes, CoatingEvaluator::Low, &m_lowAreas, m_areas, mean, marks,
                  firstChanged);
    else if (above(mean, value(Maximum)))
        markGroup(m_areaIndexes, CoatingEvaluator::High, &m_highAreas, m_areas, mean, marks,
                  firstChanged);
    m_areaIndexes.clear();
    m_areaSpots = 0;
    m_areaSpotSum = 0.0;
}

void SspcPa2Rule::markGroup(const QVector<int> &indexes, quint8 mark, FailedReadings *failed,
                            int group, double mean, QVector<quint8> *marks, int *firstChanged)
{
    if (failed->count == 0) {
        failed->firstGroup = group;
        failed->firstMean = mean;
    }
    ++failed->count;
    if (!indexes.isEmpty())
        *firstChanged = std::min(*firstChanged, indexes.first());
    for (int index : indexes) {
        failed->note(index);
        // A reading of a failed spot keeps that mark when its area fails too.
        if (marks->at(index) == CoatingEvaluator::Unmarked)
            (*marks)[index] = mark;
    }
}

CoatingVerdict::State SspcPa2Rule::state() const
{
    if (m_lowSpots.happened() || m_highSpots.happened() || m_lowAreas.happened() ||
        m_highAreas.happened())
        return CoatingVerdict::Fail;
    if (m_areas == 0 || !m_spotIndexes.isEmpty() || m_areaSpots > 0)
        return CoatingVerdict::Pending;
    return CoatingVerdict::Pass;
}

QList<CoatingVerdict::Failure> SspcPa2Rule::failures() const
{
    QList<CoatingVerdict::Failure> result;
    const auto fail = [&](const QString &first, const FailedReadings &failed, const QString &kind) {
        QString text = first;
        if (failed.count > 1)
            text += tr(" (%1 %2 in all)").arg(failed.count).arg(kind);
        result.append(failed.failure(text));
    };
    const QString spots = tr("spots");
    const QString areas = tr("areas");
    if (m_lowSpots.happened())
        fail(tr("spot %1 mean %2 below %3 % of the minimum (%4)")
                 .arg(m_lowSpots.firstGroup)
                 .arg(formatApart(m_lowSpots.firstMean, spotLow()),
                      percent(value(SpotLowerPercent)), format(spotLow())),
             m_lowSpots, spots);
    if (m_highSpots.happened())
        fail(tr("spot %1 mean %2 above %3 % of the maximum (%4)")
                 .arg(m_highSpots.firstGroup)
                 .arg(formatApart(m_highSpots.firstMean, spotHigh()),
                      percent(value(SpotUpperPercent)), format(spotHigh())),
             m_highSpots, spots);
    if (m_lowAreas.happened())
        fail(tr("area %1 mean %2 below the minimum %3")
                 .arg(m_lowAreas.firstGroup)
                 .arg(formatApart(m_lowAreas.firstMean, value(Minimum)), format(value(Minimum))),
             m_lowAreas, areas);
    if (m_highAreas.happened())
        fail(tr("area %1 mean %2 above the maximum %3")
                 .arg(m_highAreas.firstGroup)
                 .arg(formatApart(m_highAreas.firstMean, value(Maximum)), format(value(Maximum))),
             m_highAreas, areas);
    return result;
}

QString SspcPa2Rule::pending() const
{
    return tr("area %1: %2 of %3 spots, spot %4: %5 of %6 readings")
        .arg(m_areas + 1)
        .arg(m_areaSpots)
        .arg(int(value(SpotsPerArea)))
        .arg(m_spots + 1)
        .arg(m_spotIndexes.size())
        .arg(int(value(ReadingsPerSpot)));
}
