#include "chartmarklines.h"

#include <algorithm>

#include <QColor>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include "dmmchart.h"

void ChartMarkLines::extent(const QList<CoatingRequirement::Line> &lines, double *low, double *high)
{
    *low = lines.first().value;
    *high = *low;
    for (const CoatingRequirement::Line &mark : lines) {
        *low = std::min(*low, mark.value);
        *high = std::max(*high, mark.value);
    }
}

void ChartMarkLines::draw(QPainter *painter, const QList<CoatingRequirement::Line> &lines,
                          const QRect &plot, int baseline, double yScale)
{
    const QFontMetrics metrics = painter->fontMetrics();
    for (const CoatingRequirement::Line &mark : lines) {
        const int y = DMMChart::truncPixel(baseline - yScale * mark.value);
        if (y < plot.top() || y > plot.bottom())
            continue;
        QColor color(200, 0, 0);
        Qt::PenStyle style = Qt::DashLine;
        if (mark.kind == CoatingRequirement::Line::Nominal) {
            color = QColor(0, 140, 0);
            style = Qt::SolidLine;
        } else if (mark.kind == CoatingRequirement::Line::Spot) {
            color = QColor(200, 110, 0);
            style = Qt::DashDotLine;
        }
        painter->setPen(QPen(color, 1, style));
        painter->drawLine(plot.left(), y, plot.right(), y);
        const QString text = mark.label;
        const int w = metrics.horizontalAdvance(text);
        painter->drawText(QRect(plot.right() - w - 2, y - metrics.height(), w, metrics.height()),
                          Qt::AlignRight | Qt::AlignBottom, text);
    }
}
