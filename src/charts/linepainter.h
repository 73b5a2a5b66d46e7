#pragma once

#include <QColor>
#include <QRect>

#include "chartline.h"
#include "polylinestamps.h"

class QImage;
class QPainter;

// Draws the time chart's lines into its lines layer, keeping the stamps of the polyline shapes
// from one redraw to the next.
class LinePainter
{
public:
    // Points first..last of the line (last may lie beyond its end) placed by the map, which
    // counts columns from first, on the layer the painter paints, and the over-range markers at
    // the plot's edges.
    void draw(QPainter *painter, QImage *layer, const ChartLine *line, int first, int last,
              const ChartLine::PixelMap &map, const QRect &plot, const QColor &overRangeColor);

private:
    PolylineStamps m_stamps;
};
