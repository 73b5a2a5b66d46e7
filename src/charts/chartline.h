#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QVector>

class ChartPoint;
class DMMChart;

// One plotted series of a DMMChart. It owns its points and is owned by its chart.
class ChartLine : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ChartLine)

public:
    explicit ChartLine(DMMChart *chart);
    ~ChartLine() override;

    QList<ChartPoint *> points() const { return m_points; }
    int pointCount() const { return m_points.size(); }
    const ChartPoint *point(int index) const { return m_points.at(index); }
    // The points' values side by side, for the passes over every point on each redraw.
    const QVector<double> &values() const { return m_values; }
    // Takes ownership of the points.
    void addPoint(ChartPoint *point);
    void addPoints(const QList<ChartPoint *> &points);
    // Deletes every point and forgets the pixel positions made from them.
    void clear();

    // One entry per visible point; x is the offset from the plot area's left edge, y is unused.
    const QVector<QPoint> &pixelPoints() const { return m_pixelPoints; }

    QColor color() const { return m_color; }
    double minValue() const { return m_min; }
    double maxValue() const { return m_max; }
    double xScale() const { return m_xScale; }
    double yScale() const { return m_yScale; }
    void setScales(double xScale, double yScale);
    DMMChart *chart() const { return m_chart; }

    // Range of the chart's visible window of this line; it always contains 0.
    void updateRange();
    // Recomputes the pixel x of every visible point from the line's xScale.
    void updatePixelPoints();

private:
    QList<ChartPoint *> m_points;
    // m_values[i] == m_points[i]->value: a million heap points are slow to walk twice per redraw.
    QVector<double> m_values;
    // Held by value: one block for a million points instead of a million small allocations.
    QVector<QPoint> m_pixelPoints;
    QColor m_color;
    double m_min = 0.0;
    double m_max = 0.0;
    double m_xScale = 0.0;
    double m_yScale = 0.0;
    DMMChart *m_chart;
};
