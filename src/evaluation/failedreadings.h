#pragma once

#include <QList>
#include <QString>

#include "coatingverdict.h"

// The readings that broke one criterion of a rule: how many, and the first of them for the
// verdict. A criterion about groups (SSPC-PA 2's spots and areas) counts the groups and notes
// their readings, and keeps the first group's number and mean for its text.
struct FailedReadings
{
    int count = 0;        // readings, spots or areas
    int readingCount = 0; // readings involved
    QList<int> readings;  // the first of them, numbered from 1
    int firstGroup = 0;   // the first spot or area, numbered from 1
    double firstMean = 0.0;

    // One more reading (numbered from 0) that broke the criterion on its own.
    void add(int index);
    // A reading of a group that broke it.
    void note(int index);
    bool happened() const { return count > 0; }
    CoatingVerdict::Failure failure(const QString &text) const;
};
