#pragma once

// What the benchmark programs share: summing up timings and making readings.

#include <algorithm>
#include <vector>

#include <QDateTime>
#include <QString>

#include "dmmdata.h"

namespace bench {

struct Figures
{
    double median;
    double p90;
    double worst;
    double mean;
};

// Median and 90th percentile next to the worst: on a busy machine the worst case mostly measures
// the scheduler.
inline Figures summarise(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    double sum = 0.0;
    for (double time : times)
        sum += time;
    return {times.at(times.size() / 2), times.at(times.size() * 9 / 10), times.back(),
            sum / times.size()};
}

// A reading of um micrometres on iron, as a gauge sends it: both units and their texts.
inline DmmData *makeReading(double um, const QDateTime &time)
{
    auto *reading = new DmmData;
    reading->setTime(time);
    reading->setUnit(QStringLiteral("\u03BCm"));
    reading->setBasis(QStringLiteral("Fe"));
    reading->setUmValue(um);
    reading->setMilValue(um / 25.4);
    reading->setUmText(QString::number(um, 'f', 0));
    reading->setMilText(QString::number(um / 25.4, 'f', 2));
    return reading;
}

} // namespace bench
