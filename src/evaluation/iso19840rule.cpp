#include "iso19840rule.h"

#include <QCoreApplication>

#include "coatingevaluator.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Iso19840Rule", text);
}

constexpr double LowShare = 0.8;

CoatingRule::Field roughnessField()
{
    CoatingRule::Field field;
    field.key = QStringLiteral("roughness");
    field.name = QStringLiteral("Roughness");
    field.label = tr("Roughness correction");
    field.prefilled = true;
    field.presets = {{tr("None"), 0.0},
                     {tr("Fine (10 \u03BCm)"), Iso19840Rule::FineRoughness},
                     {tr("Medium (25 \u03BCm)"), Iso19840Rule::MediumRoughness},
                     {tr("Coarse (40 \u03BCm)"), Iso19840Rule::CoarseRoughness}};
    return field;
}

} // namespace

Iso19840Rule::Iso19840Rule()
    : CoatingRule({nominalField(false), maximumField(true), roughnessField()})
{
}

std::unique_ptr<CoatingRule> Iso19840Rule::clone() const
{
    return std::make_unique<Iso19840Rule>(*this);
}

QString Iso19840Rule::key() const
{
    return QStringLiteral("iso19840");
}

QString Iso19840Rule::name() const
{
    return QStringLiteral("ISO 19840");
}

QString Iso19840Rule::problem() const
{
    const QString nominal = nominalProblem(Nominal, Maximum);
    if (!nominal.isEmpty())
        return nominal;
    if (!isThickness(value(Roughness)) || value(Roughness) >= value(Nominal))
        return tr("The roughness correction must be 0 or more and below the nominal thickness.");
    return QString();
}

// A reading on a line is exactly on the limit: the roughness correction is added back.
QList<CoatingRequirement::Line> Iso19840Rule::lines() const
{
    const double roughness = value(Roughness);
    QList<CoatingRequirement::Line> result;
    result.append(
        {LowShare * value(Nominal) + roughness, CoatingRequirement::Line::Limit, tr("80% NDFT")});
    if (has(Maximum))
        result.append({value(Maximum) + roughness, CoatingRequirement::Line::Limit, tr("Max")});
    result.append({value(Nominal) + roughness, CoatingRequirement::Line::Nominal, tr("NDFT")});
    return result;
}

QList<QPair<QString, QString>> Iso19840Rule::describe() const
{
    QList<QPair<QString, QString>> rows;
    if (has(Nominal))
        rows.append({tr("Nominal (NDFT)"), format(value(Nominal))});
    rows.append({tr("Maximum"), has(Maximum) ? format(value(Maximum)) : tr("none")});
    rows.append({tr("Roughness correction"), format(value(Roughness))});
    return rows;
}

int Iso19840Rule::add(int index, double reading, QVector<quint8> *marks)
{
    const double corrected = reading - value(Roughness);
    ++m_count;
    m_sum += corrected;
    if (below(corrected, value(Nominal))) {
        m_belowNominal.add(index);
        (*marks)[index] = CoatingEvaluator::BelowNominal;
        if (below(corrected, LowShare * value(Nominal))) {
            m_low.add(index);
            (*marks)[index] = CoatingEvaluator::Low;
        }
    } else if (has(Maximum) && above(corrected, value(Maximum))) {
        m_high.add(index);
        (*marks)[index] = CoatingEvaluator::High;
    }
    return index;
}

CoatingVerdict::State Iso19840Rule::state() const
{
    if (m_count == 0)
        return CoatingVerdict::Pending;
    if (below(m_sum / m_count, value(Nominal)) || m_low.happened() || m_high.happened() ||
        m_belowNominal.count * 5 >= m_count)
        return CoatingVerdict::Fail;
    return CoatingVerdict::Pass;
}

QList<CoatingVerdict::Failure> Iso19840Rule::failures() const
{
    QList<CoatingVerdict::Failure> result;
    if (m_count == 0)
        return result;
    const QString corrected =
        value(Roughness) > 0.0 ? tr(" (readings less %1 roughness)").arg(format(value(Roughness)))
                               : QString();
    const double mean = m_sum / m_count;
    if (below(mean, value(Nominal)))
        result.append(FailedReadings().failure(
            tr("mean %1 below the NDFT %2%3")
                .arg(formatApart(mean, value(Nominal)), format(value(Nominal)), corrected)));
    if (m_low.happened())
        result.append(m_low.failure(
            tr("%1 below 80 % of the NDFT (%2)%3")
                .arg(readingsText(m_low.count), format(LowShare * value(Nominal)), corrected)));
    if (m_belowNominal.count * 5 >= m_count)
        result.append(m_belowNominal.failure(
            tr("%1 of %2 readings (%3 %) below the NDFT %4%5; fewer than 20 % may be")
                .arg(m_belowNominal.count)
                .arg(m_count)
                .arg(percent(100.0 * m_belowNominal.count / m_count))
                .arg(format(value(Nominal)), corrected)));
    if (m_high.happened())
        result.append(m_high.failure(
            tr("%1 above the maximum %2%3")
                .arg(readingsText(m_high.count), format(value(Maximum)), corrected)));
    return result;
}
