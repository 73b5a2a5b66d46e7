#pragma once

#include <memory>
#include <random>

#include <QString>

#include "simgaugesettings.h"

class DmmData;
class QDateTime;

// Makes the readings of the simulated gauge: thicknesses scattered normally around the nominal,
// at the gauge's display resolution (1 μm or 0.01 mil), with every overloadEvery-th reading over
// range, alternately "OL" and "-OL". The same seed gives the same readings on every platform.
class ReadingGenerator
{
public:
    ReadingGenerator(const SimGaugeSettings &settings, quint32 seed);

    std::unique_ptr<DmmData> next(const QDateTime &time);

private:
    // Box-Muller on the engine's raw output: the standard distributions differ between
    // standard libraries, the Mersenne twister does not.
    double normal();

    SimGaugeSettings m_settings;
    std::mt19937 m_engine;
    int m_count = 0;
    int m_overloads = 0;
};
