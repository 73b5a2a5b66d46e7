#include "imopspcrule.h"

#include <QCoreApplication>

#include "coatingevaluator.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ImoPspcRule", text);
}

constexpr double LowShare = 0.9;

} // namespace

ImoPspcRule::ImoPspcRule()
    : CoatingRule({nominalField(false), maximumField(true)})
{
}

std::unique_ptr<CoatingRule> ImoPspcRule::clone() const
{
    return std::make_unique<ImoPspcRule>(*this);
}

QString ImoPspcRule::key() const
{
    return QStringLiteral("imopspc");
}

QString ImoPspcRule::name() const
{
    return QStringLiteral("IMO PSPC 90/10");
}

QString ImoPspcRule::problem() const
{
    return nominalProblem(Nominal, Maximum);
}

QList<CoatingRequirement::Line> ImoPspcRule::lines() const
{
    QList<CoatingRequirement::Line> result;
    result.append({LowShare * value(Nominal), CoatingRequirement::Line::Limit, tr("90% NDFT")});
    if (has(Maximum))
        result.append({value(Maximum), CoatingRequirement::Line::Limit, tr("Max")});
    result.append({value(Nominal), CoatingRequirement::Line::Nominal, tr("NDFT")});
    return result;
}

QList<QPair<QString, QString>> ImoPspcRule::describe() const
{
    return {{tr("Nominal (NDFT)"), format(value(Nominal))},
            {tr("Maximum"), has(Maximum) ? format(value(Maximum)) : tr("none")}};
}

int ImoPspcRule::add(int index, double reading, QVector<quint8> *marks)
{
    ++m_count;
    if (below(reading, value(Nominal))) {
        m_belowNominal.add(index);
        (*marks)[index] = CoatingEvaluator::BelowNominal;
        if (below(reading, LowShare * value(Nominal))) {
            m_low.add(index);
            (*marks)[index] = CoatingEvaluator::Low;
        }
    } else if (has(Maximum) && above(reading, value(Maximum))) {
        m_high.add(index);
        (*marks)[index] = CoatingEvaluator::High;
    }
    return index;
}

bool ImoPspcRule::tooManyBelowNominal() const
{
    return m_belowNominal.count * 10 > m_count;
}

CoatingVerdict::State ImoPspcRule::state() const
{
    if (m_count == 0)
        return CoatingVerdict::Pending;
    if (m_low.happened() || m_high.happened() || tooManyBelowNominal())
        return CoatingVerdict::Fail;
    return CoatingVerdict::Pass;
}

QList<CoatingVerdict::Failure> ImoPspcRule::failures() const
{
    QList<CoatingVerdict::Failure> result;
    if (m_low.happened())
        result.append(
            m_low.failure(tr("%1 below 90 % of the NDFT (%2)")
                              .arg(readingsText(m_low.count), format(LowShare * value(Nominal)))));
    if (tooManyBelowNominal())
        result.append(m_belowNominal.failure(
            tr("%1 of %2 readings (%3 %) below the NDFT %4; at most 10 % may be")
                .arg(m_belowNominal.count)
                .arg(m_count)
                .arg(percent(100.0 * m_belowNominal.count / m_count))
                .arg(format(value(Nominal)))));
    if (m_high.happened())
        result.append(m_high.failure(
            tr("%1 above the maximum %2").arg(readingsText(m_high.count), format(value(Maximum)))));
    return result;
}
