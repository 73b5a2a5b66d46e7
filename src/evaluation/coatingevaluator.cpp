#include "coatingevaluator.h"

#include <cmath>

#include <QCoreApplication>

#include "coatingrule.h"
#include "dmmdata.h"

CoatingEvaluator::CoatingEvaluator() = default;

CoatingEvaluator::CoatingEvaluator(const CoatingRequirement &requirement)
    : m_requirement(requirement)
    , m_rule(requirement.isSet() ? requirement.rule()->clone() : nullptr)
    , m_micrometre(requirement.isMicrometre())
{
}

CoatingEvaluator::CoatingEvaluator(CoatingEvaluator &&other) noexcept = default;
CoatingEvaluator &CoatingEvaluator::operator=(CoatingEvaluator &&other) noexcept = default;
CoatingEvaluator::~CoatingEvaluator() = default;

void CoatingEvaluator::add(const DmmData &reading)
{
    add(m_micrometre ? reading.umValue() : reading.milValue(), reading.overload() != 0);
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
    if (m_rule)
        m_firstChanged = m_rule->add(index, value, &m_marks);
}

void CoatingEvaluator::addExcluded()
{
    m_firstChanged = m_marks.size();
    m_marks.append(Excluded);
    ++m_excluded;
}

CoatingEvaluator::Mark CoatingEvaluator::mark(int index) const
{
    return index >= 0 && index < m_marks.size() ? Mark(m_marks.at(index)) : Unmarked;
}

CoatingVerdict::State CoatingEvaluator::state() const
{
    return m_rule ? m_rule->state() : CoatingVerdict::NotJudged;
}

CoatingVerdict CoatingEvaluator::verdict() const
{
    CoatingVerdict verdict;
    verdict.state = state();
    verdict.overRange = m_overRange;
    if (!m_rule)
        return verdict;
    verdict.failures = m_rule->failures();
    // Over-range and excluded readings are never judged: with nothing else, the verdict still
    // waits.
    const bool noneJudged = readingCount() > 0 && m_overRange + m_excluded == readingCount();
    if (verdict.state == CoatingVerdict::Pending)
        verdict.pending =
            noneJudged ? QCoreApplication::translate("CoatingEvaluator", "no readings in range")
                       : m_rule->pending();
    return verdict;
}
