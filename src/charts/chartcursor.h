#pragma once

#include <QColor>
#include <QList>
#include <QRect>
#include <QString>

class ChartLine;
class ChartPoint;
class QPainter;

// The time chart's hover cursor: a vertical line at a reading with, for each line of the chart,
// the time and text of its point there.
class ChartCursor
{
public:
    // Index of the line's visible point nearest to x (pixels from the plot's left edge, which is
    // width wide); ties go left. -1 when no point is visible.
    static int indexAt(const ChartLine *line, int x, int width);
    // Index of the first visible point of the line whose pixel x is at least x; the count of
    // visible points when there is none.
    static int firstPixelAtOrRightOf(const ChartLine *line, int x);
    // What the cursor shows after the time for a point: "OL" or "-OL" for an over-range point.
    static QString indicatorText(const ChartPoint &point);
    // The line at pixel x across the plot and the points' labels in the top margin, stacked
    // upwards, on the side of x that keeps them in the plot.
    static void draw(QPainter *painter, const QRect &plot, int x, const QList<ChartPoint> &points,
                     const QColor &color);
};
