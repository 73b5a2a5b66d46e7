#pragma once

#include <QDateTime>
#include <QVariant>

// One plotted reading. The chart owns every point handed to it.
class ChartPoint
{
public:
    ChartPoint(double value, const QDateTime &time, const QVariant &data);

    QDateTime time;
    // A thickness in micrometres or mils, whichever unit the item is shown in.
    double value;
    // Shown by the hover cursor after the time; empty for readings reloaded from an item.
    QVariant data;
};
