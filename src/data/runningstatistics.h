#pragma once

#include "runningspread.h"

// One pass of an item's statistics over its readings in list order, kept between readings so a
// new reading costs O(1). Appending the values one by one and starting afresh over the same list
// give bit-identical results, since both run add() in the same order. Further sums (of squares,
// of limits exceeded) belong here beside the existing ones.
class RunningStatistics
{
public:
    // An over-range reading comes as an infinity: +inf for "OL", -inf for "-OL". It is counted,
    // but only in-range values reach the sum, the minimum and the maximum.
    void add(double value);
    void reset() { *this = RunningStatistics(); }

    // Every reading added, in range or not.
    int count() const { return m_count; }
    int inRangeCount() const { return m_inRange; }
    int overRangeCount() const { return m_count - m_inRange; }
    double sum() const { return m_sum; }
    // Over the in-range values; 0 when there are none.
    double average() const { return m_inRange > 0 ? m_sum / m_inRange : 0.0; }
    double minimum() const { return m_min; }
    double maximum() const { return m_max; }
    // Sample standard deviation and coefficient of variation of the in-range values; NaN where
    // RunningSpread has none.
    double standardDeviation() const { return m_spread.standardDeviation(); }
    double coefficientOfVariation() const { return m_spread.coefficientOfVariation(); }

private:
    int m_count = 0;
    int m_inRange = 0;
    double m_sum = 0.0;
    double m_min = 0.0;
    double m_max = 0.0;
    RunningSpread m_spread;
};
