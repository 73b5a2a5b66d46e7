#pragma once

// Count, mean and sum of squared deviations of a stream of values, one value at a time in O(1)
// (Welford's update: no sum of squares that loses the spread of large, close values).
class RunningSpread
{
public:
    void add(double value);
    void clear() { *this = RunningSpread(); }

    int count() const { return m_count; }
    double mean() const { return m_mean; }
    // The sample standard deviation (divided by n - 1); NaN for fewer than two values.
    double standardDeviation() const;
    // The standard deviation in percent of the mean; NaN when either is not defined or the
    // mean is not above 0.
    double coefficientOfVariation() const;

private:
    int m_count = 0;
    double m_mean = 0.0;
    double m_squares = 0.0;
};
