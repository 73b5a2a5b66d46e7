#include "chartcursor.h"

#include <algorithm>

#include <QFontMetrics>
#include <QPainter>

#include "chartaxes.h"
#include "chartline.h"
#include "chartpoint.h"
#include "dmmchart.h"

int ChartCursor::indexAt(const ChartLine *line, int x, int width)
{
    const int count = line->pixelPointCount();
    if (count == 0)
        return -1;
    if (x < 0)
        return 0;
    if (x > width)
        return count - 1;
    const int i = firstPixelAtOrRightOf(line, x);
    if (i == count)
        return count - 1;
    if (line->pixelX(i) == x)
        return i;
    const int j = std::max(i - 1, 0);
    return (x - line->pixelX(j) > line->pixelX(i) - x) ? i : j;
}

int ChartCursor::firstPixelAtOrRightOf(const ChartLine *line, int x)
{
    // Pixel x never decreases along the line, so the first one at or right of x is found by
    // bisection.
    int low = 0;
    int high = line->pixelPointCount();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (line->pixelX(middle) < x)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

QString ChartCursor::indicatorText(const ChartPoint &point)
{
    if (DMMChart::isOverRange(point.value))
        return point.value > 0 ? QStringLiteral("OL") : QStringLiteral("-OL");
    return point.data.toString();
}

void ChartCursor::draw(QPainter *painter, const QRect &plot, int x, const QList<ChartPoint> &points,
                       const QColor &color)
{
    painter->setPen(color);
    painter->drawLine(x, plot.top(), x, plot.bottom());
    const QFontMetrics metrics = painter->fontMetrics();
    const int h = metrics.height();
    int textBottom = plot.top();
    for (const ChartPoint &point : points) {
        const QString text =
            QStringLiteral("%1:%2\r\n").arg(ChartAxes::clockText(point.time), indicatorText(point));
        const int w = metrics.horizontalAdvance(text);
        const int textLeft = (x + 2 + w >= plot.right()) ? x - 2 - w : x + 2;
        painter->drawText(QRect(textLeft, textBottom - h, w, h), Qt::AlignCenter, text);
        textBottom = textBottom - h + 1;
    }
}
