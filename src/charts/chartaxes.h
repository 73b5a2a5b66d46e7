#pragma once

#include <QDateTime>
#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

class QPainter;

// The time chart's axes: where ticks go, what their labels say, and the painting of the axes
// from a layout worked out beforehand, so that the chart can tell whether a redraw changes them.
class ChartAxes
{
public:
    // What the axes layer shows; a redraw that gives the same layout keeps the layer.
    struct Layout
    {
        QSize size;
        QRect plot;
        QFont font;
        QVector<int> tickX;
        QStringList timeLabels;
        QVector<int> tickY; // baseline first, up, then baseline again, down
        QStringList valueLabels;
        QString xTitle;
        QString yTitle;
        bool operator==(const Layout &other) const;
    };

    // First of 1, 2, 3, 5, 10, 20, 30, 40, then 50, 100, 150, ... points whose spacing reaches
    // minPixels. 0 for a scale that is not positive: no ticks can be placed.
    static int pointStep(double scale, double minPixels);
    // Same rule over 0.00001, 0.0001, 0.001, 0.01, 0.1, 0.2, 0.3, 0.5, 0.8, 1, 2, 3, 5, 10, 20,
    // 30, 40 and then 50, 100, 150, ...
    static double valueStep(double scale, double minPixels);
    // Value-axis label: thousands get "k", millions "M".
    static QString valueLabel(double value, int decimals);
    // Clock time under a time-axis tick and at the hover cursor.
    static QString clockText(const QDateTime &time);
    // Appends value-axis ticks every gridPx pixels from the baseline row, divsUp up and then
    // divsDown down, both series marking the baseline, labelled with multiples of step. With
    // clip, ticks more than a pixel outside the plot are left out.
    static void addValueTicks(Layout *layout, int baseline, double gridPx, double step, int divsUp,
                              int divsDown, int decimals, bool clip);
    // Axis lines, ticks, dotted grid, labels and titles with the painter's pen and font.
    static void draw(QPainter *painter, const Layout &layout);
};
