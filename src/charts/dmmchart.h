#pragma once

#include <cmath>

#include <QColor>
#include <QFrame>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>

#include "chartaxes.h"
#include "coatingrequirement.h"
#include "linepainter.h"
#include "repaintpacer.h"

class ChartLine;
class ChartPoint;
class QPainter;
class QTimer;

// Time chart of an item's readings: one point per reading in arrival order, a hover cursor with
// the time and text of the nearest reading, and rubber-band zoom. The picture is composed from
// four cached layers so that hovering and dragging never redraw the axes or the lines.
// An over-range reading comes as a point whose value is an infinity: +infinity for "OL",
// -infinity for "-OL". It is not plotted as a value: a marker at the top or bottom edge of the
// plot shows where it was, the value axis ignores it, and the line breaks there wherever the
// points stand far enough apart for a gap to show (ChartLine::breaksAtIrregular).
class DMMChart : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY(DMMChart)

public:
    explicit DMMChart(QWidget *parent = nullptr);
    ~DMMChart() override;

    // The chart owns the points from here on. While zoomed or dragging they are kept but not
    // shown, so the window under the user's hand does not move.
    void addPoint(ChartPoint *point);
    void addPoints(const QList<ChartPoint *> &points);
    // Room for points in all, for points that come in parts.
    void reservePoints(int points);
    void clear();
    // Readings left out of an item's statistics: a hollow circle at each of values (the points
    // at indexes, ascending) shows where they were, apart from the line.
    void setExcluded(const QVector<int> &indexes, const QVector<double> &values);
    // More of them, at indexes after those already set: for points that come in parts.
    void addExcluded(const QVector<int> &indexes, const QVector<double> &values);
    // New values for the points of the line from first on, keeping times and labels.
    void setValues(const QVector<double> &values, int first = 0);
    // Centres of the hollow circles in the visible window, at most one per cell of four pixels
    // square; values beyond the plot area sit on its edge.
    QVector<QPoint> excludedPoints() const;

    void setLeftMargin(int margin);
    // Takes effect at the next resize, like every margin.
    void setBottomMargin(int margin);
    void setXTitle(const QString &title);
    void setYTitle(const QString &title);
    void setDecimals(int decimals);
    // Horizontal lines at a requirement's limits and nominal value, in the unit of the points.
    // With lines the value axis spans the points and the lines instead of reaching down to 0.
    void setMarkLines(const QList<CoatingRequirement::Line> &lines);
    const QList<CoatingRequirement::Line> &markLines() const { return m_markLines; }
    // Pixel row of a value; mark lines are drawn where a point of that value would be.
    int valueY(double value) const;

    QPixmap pixmap() const { return QPixmap::fromImage(m_outputLayer); }
    // Brings the picture up to date with the points and the widget's current size, also while
    // the widget is hidden and has never been painted.
    void renderPixmap();
    // The format follows the file suffix; false before the first paint or on a write error.
    bool savePixmap(const QString &fileName);

    // Index of the visible point nearest to x (pixels from the plot's left edge); ties go left.
    // -1 when there is nothing to point at.
    int indexAt(int x) const;
    bool hasData() const;
    // Pixel row of the value 0.
    int baselineY() const;
    // Pixel x of the over-range markers in the visible window, one per pixel column, left to
    // right: those above the range ("OL") and those below it ("-OL").
    QVector<int> overRangeColumns(const ChartLine *line, bool above) const;
    static bool isOverRange(double value) { return std::isinf(value); }

    // Axes geometry, recomputed at every redraw of the axes layer.
    void computeScales();
    void computeGrid();
    // Clock times under the time-axis ticks in force, left to right.
    QStringList timeLabels() const;
    // Truncation toward zero, clamped to coordinates far outside any widget yet well inside
    // what the painter takes; NaN gives the lower bound. Runs for every point of every redraw,
    // hence inline and written as two comparisons that compile without branches.
    static int truncPixel(double value)
    {
        const double limit = 1 << 24;
        const double low = value > -limit ? value : -limit;
        return int(low < limit ? low : limit);
    }

    ChartLine *line(int index) const { return m_lines.at(index); }
    QRect plotRect() const { return m_plotRect; }
    double yMin() const { return m_yMin; }
    double yMax() const { return m_yMax; }
    double xScale() const { return m_xScale; }
    double yScale() const { return m_yScale; }
    double xGridPx() const { return m_xGridPx; }
    double yGridPx() const { return m_yGridPx; }
    int xDivs() const { return m_xDivs; }
    int yDivsUp() const { return m_yDivsUp; }
    int yDivsDown() const { return m_yDivsDown; }
    int xTickPoints() const { return m_xTickPoints; }
    double yStep() const { return m_yStep; }
    bool indicatorVisible() const { return m_indicatorVisible; }
    int indicatorIndex() const { return m_indicatorIndex; }
    bool selecting() const { return m_selecting; }
    bool zoomed() const { return m_zoomed; }
    int firstIndex() const { return m_firstIndex; }
    int lastIndex() const { return m_lastIndex; }
    int decimals() const { return m_decimals; }
    QString xTitle() const { return m_xTitle; }
    QString yTitle() const { return m_yTitle; }
    // Points of the chart's line, shown or not.
    int pointCount() const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void slotTmrIndicatorTimeout();

private:
    // Repaints after new points, spaced by what the last recomposition cost.
    void scheduleDataRepaint();
    bool hasPlotArea() const { return m_plotRect.width() > 0 && m_plotRect.height() > 0; }
    // The plot area for the widget's size; a hidden widget gets no resize events.
    void layoutPlot(const QSize &size);
    // Follows the data when not zoomed; ends a zoom whose window no longer fits the data.
    void updateWindow();
    // Clamps a widget position into the plot area, relative to its top-left corner.
    QPoint plotPosition(const QPoint &pos) const;
    ChartAxes::Layout axesLayout() const;
    void drawLine(QPainter *painter, QImage *layer, const ChartLine *line);
    void drawSelection(QPainter *painter);
    void drawIndicator(QPainter *painter);
    void drawMarkLines(QPainter *painter);
    void drawExcluded(QPainter *painter);
    // Smallest and largest visible value of every line, NaN-proof; false without points.
    bool visibleExtent(double *low, double *high) const;

    int m_leftMargin = 60;
    int m_rightMargin = 20;
    int m_topMargin = 40;
    int m_bottomMargin = 40;
    QRect m_plotRect;
    QSize m_layoutSize;         // the widget size m_plotRect was made for
    QList<ChartLine *> m_lines; // owned
    // Each layer is the one below plus one kind of content.
    // Images rather than pixmaps: the line is partly set pixel by pixel.
    QImage m_axesLayer;
    ChartAxes::Layout m_axesLayout; // what m_axesLayer shows
    QImage m_linesLayer;
    QImage m_outputLayer;
    QImage m_selectionLayer;
    LinePainter m_linePainter;
    QTimer *m_indicatorTimer;
    QTimer *m_dataRepaintTimer;
    RepaintPacer m_pacer;
    bool m_axesDirty = true;
    bool m_linesDirty = true;
    bool m_indicatorDirty = false;
    bool m_selectionDirty = false;
    QColor m_background = Qt::white;
    double m_yMin = 0.0;
    double m_yMax = 0.0;
    double m_xScale = 0.0; // pixels per point
    double m_yScale = 0.0; // pixels per value unit
    double m_xGridPx = 0.0;
    double m_yGridPx = 0.0;
    int m_xDivs = 0;
    int m_yDivsUp = 0;
    int m_yDivsDown = 0;
    int m_xTickPoints = 0;
    double m_yStep = 0.0;
    bool m_indicatorVisible = false;
    int m_indicatorIndex = -1; // index into the visible window
    bool m_selecting = false;
    bool m_zoomed = false;
    // Visible window into each line's points. While painting: 0 <= first, last < count of
    // line 0, or line 0 is empty.
    int m_firstIndex = 0;
    int m_lastIndex = 0;
    // Rubber-band corners relative to the plot area's top-left.
    QPoint m_pressPoint;
    QPoint m_currentPoint;
    QColor m_indicatorColor = QColor(0, 100, 250, 255);
    QColor m_overRangeColor = QColor(220, 0, 0, 255);
    QString m_xTitle;
    QString m_yTitle;
    int m_decimals = 1;
    QList<CoatingRequirement::Line> m_markLines;
    // Excluded points: indexes into the line, ascending, and their values.
    QVector<int> m_excludedIndexes;
    QVector<double> m_excludedValues;
    QColor m_excludedColor = QColor(120, 120, 120, 255);
};
