#include "histogrambin.h"

HistogramBin::HistogramBin(const QPair<double, double> &range)
    : m_range(range)
{
}

void HistogramBin::fill(const QVector<double> &values)
{
    m_count = 0;
    add(values, 0);
}

void HistogramBin::add(const QVector<double> &values, int first)
{
    // The same test as contains(), without branches: for scattered readings each comparison is
    // close to a coin toss and mispredictions would cost more than the comparisons.
    const double low = m_range.first;
    const double high = m_range.second;
    const double *end = values.constData() + values.size();
    for (const double *v = values.constData() + first; v < end; ++v)
        m_count += int(low < *v) & int(*v <= high) & int(*v - *v == 0.0);
}

void HistogramBin::add(double value)
{
    if (contains(value))
        ++m_count;
}
