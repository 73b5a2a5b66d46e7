#include "linepainter.h"

#include <algorithm>

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPolygon>
#include <QVector>

#include "overrangemarkers.h"

void LinePainter::draw(QPainter *painter, QImage *layer, const ChartLine *line, int first, int last,
                       const ChartLine::PixelMap &map, const QRect &plot,
                       const QColor &overRangeColor)
{
    const int end = std::min(last + 1, line->pointCount());
    const QColor color = line->color();
    painter->setPen(QPen(color, 1));
    // Each stretch of in-range points is a polyline of its own: an over-range point breaks it.
    // Where many readings share a column, filling its span costs far less than stroking the
    // steps up and down it; the spans go to the painter in one call.
    QVector<QRect> spans;
    line->envelope(
        first, end - 1, map,
        [&](const QPolygon &polyline) {
            if (polyline.size() == 1)
                painter->drawPoint(polyline.first());
            else if (!m_stamps.draw(layer, polyline, color.rgb()))
                painter->drawPolyline(polyline);
        },
        [&spans](int x, int top, int bottom) { spans.append(QRect(x, top, 1, bottom - top + 1)); });
    painter->setPen(Qt::NoPen);
    painter->setBrush(color);
    painter->drawRects(spans.constData(), spans.size());
    OverRangeMarkers::draw(
        painter, plot, OverRangeMarkers::columns(line, first, last, map.xScale, map.left, true),
        OverRangeMarkers::columns(line, first, last, map.xScale, map.left, false), overRangeColor);
}
