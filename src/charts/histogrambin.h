#pragma once

#include <QPair>
#include <QVector>

// One interval of the histogram, low < v <= high, and the number of values inside it.
// A bin keeps only its count: the histogram holds the one list of values, which can run to a
// million entries, and counts each new value as it arrives. Over-range values (infinities) lie
// in no interval; the histogram counts them in its open-ended end bins with addOverRange().
class HistogramBin
{
public:
    explicit HistogramBin(const QPair<double, double> &range);

    const QPair<double, double> &range() const { return m_range; }
    // A value equal to a bound belongs to the interval it closes; NaN and the infinities belong
    // nowhere.
    bool contains(double value) const
    {
        return m_range.first < value && value <= m_range.second && value - value == 0.0;
    }
    int count() const { return m_count; }

    // Counts values afresh.
    void fill(const QVector<double> &values);
    // Counts values[first] onwards on top of what is already counted.
    void add(const QVector<double> &values, int first);
    void add(double value);
    void addOverRange(int count) { m_count += count; }

private:
    QPair<double, double> m_range;
    int m_count = 0;
};
