#pragma once

#include <QDateTime>
#include <QString>

// One entry of an item's exclusion trail: a reading taken out of the statistics, or taken back
// in. Entries are only ever appended, so the trail shows every change an auditor may ask about.
struct ExclusionEvent
{
    // The reading's place in its item, from 0.
    int reading = 0;
    bool excluded = true;
    // Why the reading was excluded; empty when it was included again.
    QString reason;
    // The inspector of the job, or the user logged in to the system.
    QString who;
    QDateTime when;
};
