#pragma once

#include <QByteArray>
#include <QHash>
#include <QPolygon>
#include <QRgb>
#include <QVector>

class QImage;

// Where a one-pixel aliased pen puts pixels for a polyline depends on the polyline's shape, not on
// where it lies. A chart of a long item strokes some hundred short polylines of few shapes at
// every redraw, and the painter takes about a tenth of a microsecond per pixel; here each shape is
// stroked once, into a scratch image, and its pixels are then set directly.
class PolylineStamps
{
public:
    // Longest polyline, in vertices, and tallest or widest, in pixels, that gets a stamp.
    static constexpr int MaxVertices = 8;
    static constexpr int MaxExtent = 1024;

    // Sets the pixels that QPainter with QPen(color, 1) sets for the polyline (at least two
    // vertices) on an image of 32-bit pixels. False, with nothing set, for a polyline the stamps
    // do not take: too long, too large, so near the image's edge that the painter would clip it,
    // or on another format. color is opaque.
    bool draw(QImage *image, const QPolygon &polyline, QRgb color);
    int size() const { return m_pixels.size(); }

private:
    // Pixels relative to the first vertex.
    const QVector<QPoint> &pixels(const QPolygon &polyline, const QByteArray &shape);

    QHash<QByteArray, QVector<QPoint>> m_pixels; // by the vertices relative to the first
};
