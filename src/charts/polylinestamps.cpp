#include "polylinestamps.h"

#include <QImage>
#include <QPainter>
#include <QPen>

namespace {
// Beyond this many shapes the stamps start afresh: a chart's shapes come from the rows between
// neighbouring columns, a few thousand at most.
constexpr int MaxShapes = 8192;
// A cap can reach a pixel past an end vertex; the scratch image and the clip test leave room.
constexpr int Margin = 2;
} // namespace

bool PolylineStamps::draw(QImage *image, const QPolygon &polyline, QRgb color)
{
    if (polyline.size() < 2 || polyline.size() > MaxVertices)
        return false;
    if (image->format() != QImage::Format_RGB32 &&
        image->format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    const QRect bounds = polyline.boundingRect();
    if (bounds.width() > MaxExtent || bounds.height() > MaxExtent ||
        !image->rect().contains(bounds.adjusted(-Margin, -Margin, Margin, Margin)))
        return false;
    const QPoint origin = polyline.first();
    QByteArray shape(int(sizeof(int)) * 2 * (polyline.size() - 1), Qt::Uninitialized);
    int *offset = reinterpret_cast<int *>(shape.data());
    for (int v = 1; v < polyline.size(); ++v) {
        *offset++ = polyline.at(v).x() - origin.x();
        *offset++ = polyline.at(v).y() - origin.y();
    }
    for (const QPoint &pixel : pixels(polyline, shape)) {
        QRgb *row = reinterpret_cast<QRgb *>(image->scanLine(origin.y() + pixel.y()));
        row[origin.x() + pixel.x()] = color;
    }
    return true;
}

const QVector<QPoint> &PolylineStamps::pixels(const QPolygon &polyline, const QByteArray &shape)
{
    auto found = m_pixels.constFind(shape);
    if (found != m_pixels.cend())
        return *found;
    if (m_pixels.size() >= MaxShapes)
        m_pixels.clear();
    const QRect bounds = polyline.boundingRect();
    QImage scratch(bounds.size() + QSize(2 * Margin, 2 * Margin),
                   QImage::Format_ARGB32_Premultiplied);
    scratch.fill(Qt::transparent);
    const QPoint shift(Margin - bounds.left(), Margin - bounds.top());
    {
        QPainter painter(&scratch);
        painter.setPen(QPen(Qt::black, 1));
        painter.drawPolyline(polyline.translated(shift));
    }
    QVector<QPoint> pixels;
    const QPoint toOrigin = -shift - polyline.first();
    for (int y = 0; y < scratch.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(scratch.constScanLine(y));
        for (int x = 0; x < scratch.width(); ++x) {
            if (qAlpha(row[x]) != 0)
                pixels.append(QPoint(x, y) + toOrigin);
        }
    }
    return *m_pixels.insert(shape, pixels);
}
