#pragma once

#include <QColor>
#include <QPolygon>
#include <QRect>
#include <QVector>

class ChartLine;
class QPainter;

// The time chart's marks for over-range readings: a small triangle pointing out of the plot, up
// at the top edge for "OL" and down at the bottom edge for "-OL", one per pixel column however
// many such readings share it.
class OverRangeMarkers
{
public:
    // Pixel x of the markers for the line's points first..last (last may lie beyond the line's
    // end), one per pixel column, left to right: those above the range ("OL") or those below it
    // ("-OL"). Point i stands at column left + (i - first) * xScale.
    static QVector<int> columns(const ChartLine *line, int first, int last, double xScale, int left,
                                bool above);
    // The rectangles that cover what the painter fills for the marker polygon placed at each of
    // the columns, ascending (the polygon's x counts from the column): one rectangle per row of
    // touching or overlapping markers.
    static QVector<QRect> markerRects(const QPolygon &marker, const QVector<int> &columns);
    // Fills the markers at the top and bottom edges of the plot.
    static void draw(QPainter *painter, const QRect &plot, const QVector<int> &above,
                     const QVector<int> &below, const QColor &color);
};
