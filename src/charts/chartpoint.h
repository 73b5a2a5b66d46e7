#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

// One plotted reading. The chart owns every point handed to it.
class ChartPoint
{
public:
    ChartPoint(double value, const QString &text, const QDateTime &time, int spare1, int spare2,
               const QVariant &data);

    int spare1;
    int spare2;
    QDateTime time;
    // A thickness in micrometres or mils, whichever unit the item is shown in.
    double value;
    QString text;
    // Shown by the hover cursor after the time; empty for readings reloaded from an item.
    QVariant data;
};
