#pragma once

#include <QList>
#include <QRect>

#include "coatingrequirement.h"

class QPainter;

// A requirement's limits and nominal value as horizontal lines across the time chart, each
// labelled at its right end.
class ChartMarkLines
{
public:
    // Smallest and largest value of the lines, which are not empty.
    static void extent(const QList<CoatingRequirement::Line> &lines, double *low, double *high);
    // Each line at the row where a point of its value is drawn, for a value axis with 0 at row
    // baseline and yScale pixels per unit; lines outside the plot are left out.
    static void draw(QPainter *painter, const QList<CoatingRequirement::Line> &lines,
                     const QRect &plot, int baseline, double yScale);
};
