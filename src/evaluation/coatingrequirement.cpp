#include "coatingrequirement.h"

#include <QCoreApplication>

#include "coatingrule.h"
#include "coatingrules.h"
#include "thicknessunit.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CoatingRequirement", text);
}

} // namespace

CoatingRequirement::CoatingRequirement(std::unique_ptr<CoatingRule> rule)
    : m_rule(std::move(rule))
{
}

CoatingRequirement::CoatingRequirement(const QString &ruleKey, const QString &unit)
{
    std::unique_ptr<CoatingRule> rule = CoatingRules::create(ruleKey);
    if (rule)
        rule->setUnit(unit);
    m_rule = std::move(rule);
}

QString CoatingRequirement::ruleKey() const
{
    return m_rule ? m_rule->key() : QString();
}

QString CoatingRequirement::ruleName() const
{
    return m_rule ? m_rule->name() : tr("None");
}

QString CoatingRequirement::unit() const
{
    return m_rule ? m_rule->unit() : ThicknessUnit::micrometre();
}

bool CoatingRequirement::isMicrometre() const
{
    return ThicknessUnit::isMicrometre(unit());
}

QString CoatingRequirement::format(double value) const
{
    return ThicknessUnit::format(value, unit());
}

double CoatingRequirement::value(const QString &key) const
{
    const int field = m_rule ? m_rule->fieldIndex(key) : -1;
    return field < 0 ? 0.0 : m_rule->value(field);
}

bool CoatingRequirement::has(const QString &key) const
{
    const int field = m_rule ? m_rule->fieldIndex(key) : -1;
    return field >= 0 && m_rule->has(field);
}

std::unique_ptr<CoatingRule> CoatingRequirement::changed(const QString &key, int *field) const
{
    *field = m_rule ? m_rule->fieldIndex(key) : -1;
    return *field < 0 ? nullptr : m_rule->clone();
}

void CoatingRequirement::setValue(const QString &key, double value)
{
    int field = -1;
    std::unique_ptr<CoatingRule> rule = changed(key, &field);
    if (!rule)
        return;
    rule->setValue(field, value);
    rule->setPresent(field, true);
    m_rule = std::move(rule);
}

void CoatingRequirement::clearValue(const QString &key)
{
    int field = -1;
    std::unique_ptr<CoatingRule> rule = changed(key, &field);
    if (!rule)
        return;
    rule->setValue(field, rule->fields().at(field).initial);
    rule->setPresent(field, false);
    m_rule = std::move(rule);
}

QString CoatingRequirement::problem() const
{
    return m_rule ? m_rule->problem() : QString();
}

CoatingRequirement CoatingRequirement::convertedTo(const QString &targetUnit) const
{
    if (!m_rule)
        return *this;
    std::unique_ptr<CoatingRule> rule = m_rule->clone();
    rule->convertTo(targetUnit);
    return CoatingRequirement(std::move(rule));
}

QList<CoatingRequirement::Line> CoatingRequirement::lines() const
{
    return m_rule ? m_rule->lines() : QList<Line>();
}

QList<CoatingRequirement::Line> CoatingRequirement::linesIn(const QString &targetUnit) const
{
    QList<Line> result = lines();
    const double factor = ThicknessUnit::factor(unit(), targetUnit);
    if (factor == 1.0)
        return result;
    for (Line &line : result)
        line.value *= factor;
    return result;
}

QList<QPair<QString, QString>> CoatingRequirement::describe() const
{
    QList<QPair<QString, QString>> rows;
    rows.append({tr("Rule"), ruleName()});
    if (m_rule)
        rows.append(m_rule->describe());
    return rows;
}

bool CoatingRequirement::operator==(const CoatingRequirement &other) const
{
    if (!m_rule || !other.m_rule)
        return !m_rule && !other.m_rule;
    return m_rule->sameAs(*other.m_rule);
}
