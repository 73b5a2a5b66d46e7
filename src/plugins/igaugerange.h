#pragma once

#include <QObject>

// The measuring range of the gauge, for a plug-in that knows it. Optional: the logger takes a
// gauge without it to reach DefaultRangeUm, the range it has always assumed. Thicknesses above the
// range show as over range ("OL") in an item's statistics and histogram.
class IGaugeRange
{
public:
    // What a gauge that does not say its range is taken to measure up to.
    static constexpr double DefaultRangeUm = 1250.0;

    // The top of the range in micrometres, from 0; asked for each reading the logger keeps.
    virtual double rangeUm() const = 0;

    virtual ~IGaugeRange() = default;
};

#define IGaugeRange_iid "com.qd.IGaugeRange"
Q_DECLARE_INTERFACE(IGaugeRange, IGaugeRange_iid)
