#pragma once

#include <functional>

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPolygon>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVector>

class ChartPoint;
class DMMChart;

// One plotted series of a DMMChart, owned by its chart. A point handed to it is taken apart into
// what the chart reads (value, time, cursor label) and deleted: side by side in arrays a million
// points take a few dozen bytes each, and equal labels share one string. Besides the points it
// keeps, per block of values, the smallest and largest finite value and the indexes of the
// values that are not finite, so that a redraw costs a few operations per pixel column instead
// of a pass over every point.
class ChartLine : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ChartLine)

public:
    // How values map to pixels: column = trunc(k * xScale + left) for the k-th point of the
    // window, row = trunc(baseline - yScale * value), both clamped like DMMChart::truncPixel.
    struct PixelMap
    {
        double xScale;
        int left;
        int baseline;
        double yScale;
        int rowOf(double value) const;
    };

    // What envelope() hands its polylines to, and the rows top..bottom of column x it fills.
    using DrawPolyline = std::function<void(const QPolygon &)>;
    using FillColumn = std::function<void(int x, int top, int bottom)>;

    explicit ChartLine(DMMChart *chart);
    ~ChartLine() override;

    int pointCount() const { return m_values.size(); }
    // The point as the chart keeps it: value, time and cursor label.
    ChartPoint point(int index) const;
    QDateTime time(int index) const { return m_times.at(index); }
    // The points' values side by side.
    const QVector<double> &values() const { return m_values; }
    // Indexes of the values that are not finite (over-range points, NaN), ascending.
    const QVector<int> &irregularIndexes() const { return m_irregular; }
    // Takes ownership of the points: they are deleted once their fields are kept.
    void addPoint(ChartPoint *point);
    void addPoints(const QList<ChartPoint *> &points);
    // New values for the points from first on, one per value, keeping times and labels; points
    // past the line are passed over. Costs a pass over the points from first's block on.
    void setValues(const QVector<double> &values, int first = 0);
    // Makes room for points in all, and an eighth more, at once: growing arrays of a million
    // points part by part costs more in copies than taking the parts does.
    void reserve(int points);
    // Forgets every point and the pixel positions made from them.
    void clear();

    // Pixel x of visible point k (0 for the window's first), from the plot area's left edge.
    int pixelX(int k) const;
    // Number of visible points with a pixel position.
    int pixelPointCount() const { return m_pixelPointCount; }

    QColor color() const { return m_color; }
    double minValue() const { return m_min; }
    double maxValue() const { return m_max; }
    double xScale() const { return m_xScale; }
    double yScale() const { return m_yScale; }
    void setScales(double xScale, double yScale);
    DMMChart *chart() const { return m_chart; }

    // Range of the chart's visible window of this line; it always contains 0. Over-range values
    // are left out.
    void updateRange();
    // Takes the number of visible points; their pixel x follows from xScale.
    void updatePixelPoints();

    // Whether a point that is not finite breaks the line at this many pixels per point. Where
    // several points share a pixel column a one-point gap cannot be seen; the line then runs on
    // through the finite points, and the over-range markers alone show where the others were.
    static bool breaksAtIrregular(double xScale);
    // The polylines that draw values first..last: the finite points, one polyline per stretch
    // between points that are not finite where those break the line. Of the vertices the polyline
    // through all its points has in a pixel column, each keeps the first, the last, the first and
    // last change of row and the highest and lowest between them, and all of them in a stretch's
    // first and last column: stroked with a one-pixel aliased pen it covers the same pixels.
    // Costs about one block scan per pixel column, however many points share it.
    // Given fillColumn, a crowded column (one with vertices between its first and last change of
    // row) cuts the polyline: the one arriving ends a row past the column's first point, a new
    // one starts a row before its last point, and fillColumn gets the rows top..bottom of column
    // x that the path between them runs through. Polylines stroked and spans filled in the
    // line's colour cover the same pixels as the polylines alone, with a few pixels to stroke per
    // column however many readings share it.
    void envelope(int first, int last, const PixelMap &map, const DrawPolyline &draw,
                  const FillColumn &fillColumn = nullptr) const;

    // Smallest and largest finite value of values[first..last]; +inf and -inf when none.
    void finiteRange(int first, int last, double *min, double *max) const;

private:
    void appendValue(double value);
    // Rows of a block's largest (top) and smallest (bottom) finite value.
    void blockRows(int block, const PixelMap &map, int *top, int *bottom) const;
    // First index in from..to of a finite value whose row matches, or to + 1; passes over the
    // blocks whose rows top..bottom passBlock rules out.
    template<typename PassBlock, typename Matches>
    int firstIndexIn(int from, int to, const PixelMap &map, PassBlock passBlock,
                     Matches matches) const;
    // First index in from..to of a finite value whose row differs from row, or to + 1.
    int firstRowChangeIn(int from, int to, int row, const PixelMap &map) const;
    // Last index in from..to of a finite value whose row differs from row, or from - 1.
    int lastRowChangeIn(int from, int to, int row, const PixelMap &map) const;
    // First index in from..to of a finite value on row, the highest (highest true) or the lowest
    // row of the range; to when there is none.
    int firstOnRowIn(int from, int to, int row, bool highest, const PixelMap &map) const;
    // First finite value in from..to, or to + 1; last one, or from - 1.
    int firstFiniteIn(int from, int to) const;
    int lastFiniteIn(int from, int to) const;

    // envelope() walks the window column by column and hands each column to the step for its
    // kind.
    struct Trace;
    struct Column;
    // Sorts the points from..to of column x by kind.
    void traceColumn(int from, int to, int x, Trace &trace) const;
    Column columnOf(int first, int last, int x, const PixelMap &map) const;
    void onePointColumn(int m, int x, Trace &trace) const;
    // A stretch's first or last column.
    void stretchEndColumn(int first, int last, int x, Trace &trace) const;
    void thinnedColumn(const Column &column, Trace &trace) const;
    // A column with vertices between its first and last change of row, cut and filled.
    void crowdedColumn(const Column &column, Trace &trace) const;
    // The first and last column of a line whose crowded columns are cut.
    void lineStartColumn(const Column &column, Trace &trace) const;
    void lineEndColumn(const Column &column, bool opens, Trace &trace) const;
    void keepFirstStep(const Column &column, Trace &trace) const;
    void keepLastStep(const Column &column, Trace &trace) const;

    QVector<double> m_values;
    QVector<QDateTime> m_times;
    QVector<QVariant> m_labels;
    QSet<QString> m_labelTexts; // one string per distinct label
    QVector<double> m_blockMin; // per block of BlockSize values, over its finite values
    QVector<double> m_blockMax;
    QVector<int> m_irregular;
    // Range of all values and 0, kept as values arrive.
    double m_allMin = 0.0;
    double m_allMax = 0.0;
    int m_pixelPointCount = 0;
    QColor m_color;
    double m_min = 0.0;
    double m_max = 0.0;
    double m_xScale = 0.0;
    double m_yScale = 0.0;
    DMMChart *m_chart;
};
