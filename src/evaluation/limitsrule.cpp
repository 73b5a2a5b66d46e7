#include "limitsrule.h"

#include <QCoreApplication>

#include "coatingevaluator.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("LimitsRule", text);
}

} // namespace

LimitsRule::LimitsRule()
    : CoatingRule({nominalField(true), minimumField(), maximumField(false)})
{
}

std::unique_ptr<CoatingRule> LimitsRule::clone() const
{
    return std::make_unique<LimitsRule>(*this);
}

QString LimitsRule::key() const
{
    return QStringLiteral("limits");
}

QString LimitsRule::name() const
{
    return tr("Minimum and maximum");
}

QString LimitsRule::problem() const
{
    return rangeProblem(Nominal, Minimum, Maximum);
}

QList<CoatingRequirement::Line> LimitsRule::lines() const
{
    QList<CoatingRequirement::Line> result;
    result.append({value(Minimum), CoatingRequirement::Line::Limit, tr("Min")});
    result.append({value(Maximum), CoatingRequirement::Line::Limit, tr("Max")});
    if (has(Nominal))
        result.append({value(Nominal), CoatingRequirement::Line::Nominal, tr("Nominal")});
    return result;
}

QList<QPair<QString, QString>> LimitsRule::describe() const
{
    QList<QPair<QString, QString>> rows;
    if (has(Nominal))
        rows.append({tr("Nominal (NDFT)"), format(value(Nominal))});
    rows.append({tr("Minimum"), format(value(Minimum))});
    rows.append({tr("Maximum"), format(value(Maximum))});
    return rows;
}

int LimitsRule::add(int index, double reading, QVector<quint8> *marks)
{
    ++m_count;
    if (below(reading, value(Minimum))) {
        (*marks)[index] = CoatingEvaluator::Low;
        m_low.add(index);
    } else if (above(reading, value(Maximum))) {
        (*marks)[index] = CoatingEvaluator::High;
        m_high.add(index);
    }
    return index;
}

CoatingVerdict::State LimitsRule::state() const
{
    if (m_low.happened() || m_high.happened())
        return CoatingVerdict::Fail;
    return m_count == 0 ? CoatingVerdict::Pending : CoatingVerdict::Pass;
}

QList<CoatingVerdict::Failure> LimitsRule::failures() const
{
    QList<CoatingVerdict::Failure> result;
    if (m_low.happened())
        result.append(m_low.failure(
            tr("%1 below the minimum %2").arg(readingsText(m_low.count), format(value(Minimum)))));
    if (m_high.happened())
        result.append(m_high.failure(
            tr("%1 above the maximum %2").arg(readingsText(m_high.count), format(value(Maximum)))));
    return result;
}
