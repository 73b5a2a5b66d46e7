#include "runningstatistics.h"

#include <cmath>

void RunningStatistics::add(double value)
{
    ++m_count;
    if (std::isinf(value))
        return;
    if (m_inRange == 0) {
        m_min = value;
        m_max = value;
    }
    ++m_inRange;
    m_sum += value;
    m_spread.add(value);
    if (value <= m_min)
        m_min = value;
    if (value > m_max)
        m_max = value;
}
