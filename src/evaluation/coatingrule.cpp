#include "coatingrule.h"

#include <algorithm>
#include <cmath>

#include <QCoreApplication>

#include "thicknessunit.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CoatingRule", text);
}

// Limits and readings are decimal numbers that a double holds only approximately: 0.8 x 4.72 mil
// need not equal a reading of 3.776 bit for bit.
double tolerance(double limit)
{
    return 1e-9 * std::max(1.0, std::abs(limit));
}

} // namespace

CoatingRule::CoatingRule(const QVector<Field> &fields)
    : m_fields(fields)
    , m_values(fields.size())
    , m_present(fields.size())
{
    for (int i = 0; i < fields.size(); ++i) {
        m_values[i] = fields.at(i).initial;
        m_present[i] = !fields.at(i).optional;
    }
}

CoatingRule::~CoatingRule() = default;

int CoatingRule::fieldIndex(const QString &key) const
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).key == key)
            return i;
    }
    return -1;
}

void CoatingRule::convertTo(const QString &unit)
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).kind == Field::Thickness)
            m_values[i] = ThicknessUnit::converted(m_values.at(i), m_unit, unit);
    }
    m_unit = unit;
}

QString CoatingRule::format(double value) const
{
    return ThicknessUnit::format(value, m_unit);
}

QString CoatingRule::formatApart(double value, double limit) const
{
    return ThicknessUnit::formatApart(value, limit, m_unit);
}

bool CoatingRule::sameAs(const CoatingRule &other) const
{
    return key() == other.key() && m_unit == other.m_unit && m_values == other.m_values &&
           m_present == other.m_present;
}

QString CoatingRule::pending() const
{
    return tr("no readings yet");
}

CoatingRule::Field CoatingRule::nominalField(bool optional)
{
    Field field;
    field.key = QStringLiteral("nominal");
    field.name = QStringLiteral("Nominal");
    field.label = tr("Nominal thickness (NDFT)");
    field.optional = optional;
    return field;
}

CoatingRule::Field CoatingRule::minimumField()
{
    Field field;
    field.key = QStringLiteral("minimum");
    field.name = QStringLiteral("Minimum");
    field.label = tr("Minimum");
    return field;
}

CoatingRule::Field CoatingRule::maximumField(bool optional)
{
    Field field;
    field.key = QStringLiteral("maximum");
    field.name = QStringLiteral("Maximum");
    field.label = tr("Maximum");
    field.optional = optional;
    return field;
}

QString CoatingRule::rangeProblem(int nominal, int minimum, int maximum) const
{
    const double low = value(minimum);
    const double high = value(maximum);
    if (!isThickness(low) || !isThickness(high))
        return tr("The minimum and the maximum must be thicknesses of 0 or more.");
    if (low > high)
        return tr("The minimum must not be above the maximum.");
    if (high <= 0.0)
        return tr("The maximum must be above 0.");
    const double middle = value(nominal);
    if (has(nominal) && (!isThickness(middle) || middle < low || middle > high))
        return tr("The nominal thickness must lie between the minimum and the maximum.");
    return QString();
}

QString CoatingRule::nominalProblem(int nominal, int maximum) const
{
    if (!has(nominal) || !isThickness(value(nominal)) || value(nominal) <= 0.0)
        return tr("%1 needs a nominal dry film thickness above 0.").arg(name());
    if (has(maximum) && (!isThickness(value(maximum)) || value(maximum) < value(nominal)))
        return tr("The maximum must not be below the nominal thickness.");
    return QString();
}

bool CoatingRule::isThickness(double value)
{
    return std::isfinite(value) && value >= 0.0;
}

bool CoatingRule::below(double value, double limit)
{
    return value < limit - tolerance(limit);
}

bool CoatingRule::above(double value, double limit)
{
    return value > limit + tolerance(limit);
}

QString CoatingRule::percent(double value)
{
    return QString::number(value, 'g', 3);
}

QString CoatingRule::readingsText(int count)
{
    return count == 1 ? tr("1 reading") : tr("%1 readings").arg(count);
}
