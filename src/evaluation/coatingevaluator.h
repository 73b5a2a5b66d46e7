#pragma once

#include <QList>
#include <QVector>

#include "coatingrequirement.h"
#include "coatingverdict.h"

class DmmData;

// Judges readings one at a time against a requirement. Each reading costs O(1): the rules
// keep running counts and sums, and an SSPC-PA 2 spot or area is judged once, when it is
// complete (marking its readings then costs one step per reading of that spot or area).
// Over-range readings are counted and marked, never used as thicknesses.
class CoatingEvaluator
{
public:
    enum Mark : quint8 { Unmarked, Low, High, BelowNominal, OverRange };

    // Failures list at most this many readings; their counts stay complete.
    static constexpr int MaxListed = 20;

    CoatingEvaluator() = default;
    explicit CoatingEvaluator(const CoatingRequirement &requirement);

    const CoatingRequirement &requirement() const { return m_requirement; }

    // value is in the requirement's unit.
    void add(double value, bool overRange);
    // Takes the reading's value in the requirement's unit; any overload state is over range.
    void add(const DmmData &reading);

    int readingCount() const { return m_marks.size(); }
    int overRangeCount() const { return m_overRange; }
    // Readings are numbered from 0 here; Unmarked for an index outside the readings.
    Mark mark(int index) const;
    // The first reading whose mark the last add() set or changed: completing an SSPC-PA 2 spot
    // or area marks readings that came before.
    int firstChanged() const { return m_firstChanged; }

    CoatingVerdict::State state() const;
    CoatingVerdict verdict() const;

private:
    // Readings that broke one criterion.
    struct Offence
    {
        int count = 0;        // readings, spots or areas
        int readingCount = 0; // readings involved
        QList<int> readings;  // the first of them, numbered from 1
        int firstGroup = 0;   // the first spot or area, numbered from 1
        double firstMean = 0.0;

        void note(int index);
        bool happened() const { return count > 0; }
    };

    void addLimits(int index, double value);
    void addIso(int index, double value);
    void addSspc(int index, double value);
    void judgeSpot();
    void judgeArea();
    void markGroup(const QVector<int> &indexes, Mark mark, Offence *offence, int group,
                   double mean);
    void appendSspcFailures(CoatingVerdict *verdict) const;
    QString pendingText() const;

    CoatingRequirement m_requirement;
    QVector<quint8> m_marks;
    int m_overRange = 0;
    int m_firstChanged = 0;
    // In-range readings judged, and the sum of their (corrected) values.
    int m_count = 0;
    double m_sum = 0.0;
    Offence m_low;          // below the minimum, or below 80 % of the NDFT
    Offence m_high;         // above the maximum
    Offence m_belowNominal; // ISO 19840: below the NDFT
    // SSPC-PA 2: the spot and the area being filled, and what is complete.
    QVector<int> m_spotIndexes;
    double m_spotSum = 0.0;
    QVector<int> m_areaIndexes;
    int m_areaSpots = 0;
    double m_areaSpotSum = 0.0;
    int m_spots = 0;
    int m_areas = 0;
    Offence m_lowSpots;
    Offence m_highSpots;
    Offence m_lowAreas;
    Offence m_highAreas;
};
