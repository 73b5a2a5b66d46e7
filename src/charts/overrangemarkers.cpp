#include "overrangemarkers.h"

#include <algorithm>
#include <limits>

#include <QImage>
#include <QPainter>

#include "chartline.h"
#include "dmmchart.h"

namespace {

const int MarkerHalfWidth = 3;
const int MarkerHeight = 5;

} // namespace

QVector<int> OverRangeMarkers::columns(const ChartLine *line, int first, int last, double xScale,
                                       int left, bool above)
{
    QVector<int> columns;
    const int end = std::min(last + 1, line->pointCount());
    const double *value = line->values().constData();
    const double mark =
        above ? std::numeric_limits<double>::infinity() : -std::numeric_limits<double>::infinity();
    const QVector<int> &irregular = line->irregularIndexes();
    const auto columnOf = [&](int i) { return DMMChart::truncPixel((i - first) * xScale + left); };
    const auto stop = std::lower_bound(irregular.cbegin(), irregular.cend(), end);
    for (auto it = std::lower_bound(irregular.cbegin(), stop, first); it != stop;) {
        if (value[*it] != mark) {
            ++it;
            continue;
        }
        const int x = columnOf(*it);
        columns.append(x);
        // A crowded column holds many over-range readings; one marker stands for them all.
        it = std::partition_point(it, stop, [&](int i) { return columnOf(i) <= x; });
    }
    return columns;
}

QVector<QRect> OverRangeMarkers::markerRects(const QPolygon &marker, const QVector<int> &columns)
{
    // The rows the painter fills for one marker, found by painting it: a triangle is convex, so
    // each row is one run of pixels.
    const QRect bounds = marker.boundingRect();
    QImage stamp(bounds.size() + QSize(2, 2), QImage::Format_ARGB32_Premultiplied);
    stamp.fill(Qt::transparent);
    {
        QPainter painter(&stamp);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawPolygon(marker.translated(1 - bounds.left(), 1 - bounds.top()));
    }
    QVector<QRect> rects;
    for (int y = 0; y < stamp.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(stamp.constScanLine(y));
        int left = 0;
        while (left < stamp.width() && qAlpha(row[left]) == 0)
            ++left;
        if (left == stamp.width())
            continue;
        int right = stamp.width() - 1;
        while (qAlpha(row[right]) == 0)
            --right;
        // Runs of neighbouring markers that touch or overlap merge into one rectangle.
        const int dy = y - 1 + bounds.top();
        const int from = left - 1 + bounds.left();
        const int to = right - 1 + bounds.left();
        for (int c = 0; c < columns.size();) {
            const int start = columns.at(c) + from;
            int stop = columns.at(c) + to;
            while (++c < columns.size() && columns.at(c) + from <= stop + 1)
                stop = columns.at(c) + to;
            rects.append(QRect(start, dy, stop - start + 1, 1));
        }
    }
    return rects;
}

void OverRangeMarkers::draw(QPainter *painter, const QRect &plot, const QVector<int> &above,
                            const QVector<int> &below, const QColor &color)
{
    const int top = plot.top();
    const int bottom = plot.bottom();
    const QPolygon up({QPoint(-MarkerHalfWidth, top + MarkerHeight),
                       QPoint(MarkerHalfWidth, top + MarkerHeight), QPoint(0, top)});
    const QPolygon down({QPoint(-MarkerHalfWidth, bottom - MarkerHeight),
                         QPoint(MarkerHalfWidth, bottom - MarkerHeight), QPoint(0, bottom)});
    QVector<QRect> rects = markerRects(up, above);
    rects += markerRects(down, below);
    painter->setPen(Qt::NoPen);
    painter->setBrush(color);
    painter->drawRects(rects.constData(), rects.size());
}
