#include "chartaxes.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include "dmmchart.h"

namespace {

const int TickLength = 5;
const QString ClockFormat = QStringLiteral("hh:mm:ss");

// First of 50, 100, 150, ... whose spacing reaches minPixels; 0 when none is representable.
double fallbackStep(double scale, double minPixels)
{
    double k = std::ceil(minPixels / (50.0 * scale));
    // Beyond 2^52 adding one no longer changes k, so the search below would not end.
    if (!std::isfinite(k) || k > 1e15)
        return 0.0;
    k = std::max(k, 1.0);
    // The division may round either way; settle on the exact first multiple.
    while (k > 1.0 && (k - 1.0) * 50.0 * scale >= minPixels)
        k -= 1.0;
    while (k * 50.0 * scale < minPixels)
        k += 1.0;
    return k * 50.0;
}

} // namespace

bool ChartAxes::Layout::operator==(const Layout &other) const
{
    return size == other.size && plot == other.plot && font == other.font && tickX == other.tickX &&
           timeLabels == other.timeLabels && tickY == other.tickY &&
           valueLabels == other.valueLabels && xTitle == other.xTitle && yTitle == other.yTitle;
}

int ChartAxes::pointStep(double scale, double minPixels)
{
    if (!(scale > 0.0))
        return 0;
    static const int steps[] = {1, 2, 3, 5, 10, 20, 30, 40};
    for (int step : steps) {
        if (step * scale >= minPixels)
            return step;
    }
    const double step = fallbackStep(scale, minPixels);
    return step <= std::numeric_limits<int>::max() ? int(step) : 0;
}

double ChartAxes::valueStep(double scale, double minPixels)
{
    if (!(scale > 0.0))
        return 0.0;
    static const double steps[] = {0.00001, 0.0001, 0.001, 0.01, 0.1, 0.2, 0.3, 0.5, 0.8,
                                   1,       2,      3,     5,    10,  20,  30,  40};
    for (double step : steps) {
        if (step * scale >= minPixels)
            return step;
    }
    return fallbackStep(scale, minPixels);
}

QString ChartAxes::valueLabel(double value, int decimals)
{
    const double magnitude = std::abs(value);
    QString suffix;
    if (magnitude >= 1000000) {
        value /= 1000000;
        suffix = QStringLiteral("M");
    } else if (magnitude >= 1000) {
        value /= 1000;
        suffix = QStringLiteral("k");
    }
    // The lower series labels its baseline tick with -0; print it as 0.
    if (value == 0.0)
        value = 0.0;
    return QString::number(value, 'f', decimals) + suffix;
}

QString ChartAxes::clockText(const QDateTime &time)
{
    return time.toString(ClockFormat);
}

void ChartAxes::addValueTicks(Layout *layout, int baseline, double gridPx, double step, int divsUp,
                              int divsDown, int decimals, bool clip)
{
    // direction +1 walks up from the baseline, -1 down.
    const auto addSeries = [&](int direction, int divs) {
        for (int j = 0; j <= divs; ++j) {
            const int y = DMMChart::truncPixel(baseline - direction * j * gridPx);
            // A range spanning limits away from 0 puts the first ticks outside the plot.
            if (clip && (y < layout->plot.top() - 1 || y > layout->plot.bottom() + 1))
                continue;
            layout->tickY.append(y);
            layout->valueLabels.append(valueLabel(direction * j * step, decimals));
        }
    };
    addSeries(1, divsUp);
    addSeries(-1, divsDown);
}

void ChartAxes::draw(QPainter *painter, const Layout &layout)
{
    const QFontMetrics metrics = painter->fontMetrics();
    const int h = metrics.height();
    const QRect &plot = layout.plot;
    const int left = plot.left();
    const int right = plot.right();
    const int top = plot.top();
    const int bottom = plot.bottom();
    const QPen solid = painter->pen();
    QPen dotted = solid;
    dotted.setStyle(Qt::DotLine);

    painter->drawLine(left - 1, bottom + 1, right + 1, bottom + 1);
    for (int x : layout.tickX)
        painter->drawLine(x, bottom, x, bottom + TickLength);
    painter->setPen(dotted);
    for (int x : layout.tickX)
        painter->drawLine(x, top, x, bottom);
    painter->setPen(solid);
    for (int i = 0; i < layout.timeLabels.size(); ++i) {
        const QString &label = layout.timeLabels.at(i);
        const int w = metrics.horizontalAdvance(label);
        painter->drawText(QRect(layout.tickX.at(i) - w / 2, bottom + 7, w, h), Qt::AlignCenter,
                          label);
    }

    painter->drawLine(left - 1, top - 1, left - 1, bottom + 1);
    for (int y : layout.tickY)
        painter->drawLine(left, y, left - TickLength, y);
    painter->setPen(dotted);
    for (int y : layout.tickY)
        painter->drawLine(left, y, left + plot.width(), y);
    painter->setPen(solid);
    for (int k = 0; k < layout.tickY.size(); ++k) {
        const QString &text = layout.valueLabels.at(k);
        const int w = metrics.horizontalAdvance(text);
        painter->drawText(QRect(left - TickLength - w - 2, layout.tickY.at(k) - h / 2, w, h),
                          Qt::AlignCenter, text);
    }

    // The y title reads upwards in the left margin, centred on the plot's vertical middle, and
    // stays whole where the margin is narrower than the labels it was made for.
    const int wY = metrics.horizontalAdvance(layout.yTitle);
    const int w0 = metrics.horizontalAdvance(QStringLiteral("000.0k "));
    const int tx = std::max(0, (left - w0) / 2 - h / 2);
    const int ty = wY / 2 + plot.height() / 2 + top;
    painter->save();
    painter->translate(tx, ty);
    painter->rotate(-90);
    painter->drawText(QRect(0, 0, wY, h), Qt::AlignCenter, layout.yTitle);
    painter->restore();

    const int wX = metrics.horizontalAdvance(layout.xTitle);
    const int x = left + plot.width() / 2 - wX / 2;
    const int y = bottom + h + (layout.size.height() - bottom - 1 - h) / 2;
    painter->drawText(QRect(x, y, wX, h), Qt::AlignCenter, layout.xTitle);
}
