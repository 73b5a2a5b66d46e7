#pragma once

#include <memory>

#include <QVector>

#include "coatingrequirement.h"
#include "coatingverdict.h"

class CoatingRule;
class DmmData;

// Judges readings one at a time against a requirement, with a copy of its rule that keeps the
// running state. Each reading costs O(1): the rules keep running counts and sums, and a group of
// readings (an SSPC-PA 2 spot or area) is judged once, when it is complete (marking its readings
// then costs one step per reading of the group). Over-range readings are counted and marked,
// never used as thicknesses.
class CoatingEvaluator
{
public:
    enum Mark : quint8 { Unmarked, Low, High, BelowNominal, OverRange, Excluded };

    // Failures list at most this many readings; their counts stay complete.
    static constexpr int MaxListed = 20;

    CoatingEvaluator();
    explicit CoatingEvaluator(const CoatingRequirement &requirement);
    CoatingEvaluator(CoatingEvaluator &&other) noexcept;
    CoatingEvaluator &operator=(CoatingEvaluator &&other) noexcept;
    ~CoatingEvaluator();

    const CoatingRequirement &requirement() const { return m_requirement; }

    // value is in the requirement's unit.
    void add(double value, bool overRange);
    // Takes the reading's value in the requirement's unit; any overload state is over range.
    void add(const DmmData &reading);
    // A reading the inspector left out: it takes its number but is never judged, so the next
    // reading fills the spot it would have.
    void addExcluded();

    int readingCount() const { return m_marks.size(); }
    int overRangeCount() const { return m_overRange; }
    int excludedCount() const { return m_excluded; }
    // Readings are numbered from 0 here; Unmarked for an index outside the readings.
    Mark mark(int index) const;
    // The first reading whose mark the last add() set or changed: completing an SSPC-PA 2 spot
    // or area marks readings that came before.
    int firstChanged() const { return m_firstChanged; }

    CoatingVerdict::State state() const;
    CoatingVerdict verdict() const;

private:
    CoatingRequirement m_requirement;
    std::unique_ptr<CoatingRule> m_rule;
    bool m_micrometre = true;
    QVector<quint8> m_marks;
    int m_overRange = 0;
    int m_excluded = 0;
    int m_firstChanged = 0;
};
