#include "runningspread.h"

#include <algorithm>
#include <cmath>
#include <limits>

void RunningSpread::add(double value)
{
    ++m_count;
    const double delta = value - m_mean;
    m_mean += delta / m_count;
    m_squares += delta * (value - m_mean);
}

double RunningSpread::standardDeviation() const
{
    if (m_count < 2)
        return std::numeric_limits<double>::quiet_NaN();
    return std::sqrt(std::max(m_squares, 0.0) / (m_count - 1));
}

double RunningSpread::coefficientOfVariation() const
{
    const double deviation = standardDeviation();
    if (std::isnan(deviation) || !(m_mean > 0.0))
        return std::numeric_limits<double>::quiet_NaN();
    return 100.0 * deviation / m_mean;
}
