#include "chartline.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>

#include "chartpoint.h"
#include "dmmchart.h"

namespace {
constexpr int BlockShift = 6;
constexpr int BlockSize = 1 << BlockShift;
constexpr double Infinity = std::numeric_limits<double>::infinity();
// Below this many pixels per point a gap of one point would be narrower than a pixel.
constexpr double MinBreakScale = 0.5;

bool startsBlock(int index)
{
    return (index & (BlockSize - 1)) == 0;
}
} // namespace

ChartLine::ChartLine(DMMChart *chart)
    : m_color(250, 150, 0, 255)
    , m_chart(chart)
{
}

ChartLine::~ChartLine() = default;

ChartPoint ChartLine::point(int index) const
{
    return ChartPoint(m_values.at(index), m_times.at(index), m_labels.at(index));
}

void ChartLine::addPoint(ChartPoint *point)
{
    if (!point)
        return;
    appendValue(point->value);
    m_times.append(point->time);
    if (point->data.userType() == QMetaType::QString) {
        const QString text = point->data.toString();
        auto shared = m_labelTexts.constFind(text);
        if (shared == m_labelTexts.cend())
            shared = m_labelTexts.insert(text);
        m_labels.append(QVariant(*shared));
    } else {
        m_labels.append(point->data);
    }
    delete point;
}

void ChartLine::addPoints(const QList<ChartPoint *> &points)
{
    reserve(m_values.size() + points.size());
    for (ChartPoint *point : points)
        addPoint(point);
}

void ChartLine::reserve(int points)
{
    // Room for an eighth more: the live readings that follow a large item's points would otherwise
    // copy every array at the first of them, tens of milliseconds for a million points.
    if (points <= m_values.capacity())
        return;
    const int room = points + points / 8;
    m_values.reserve(room);
    m_times.reserve(room);
    m_labels.reserve(room);
}

void ChartLine::appendValue(double value)
{
    const int index = m_values.size();
    m_values.append(value);
    if (startsBlock(index)) {
        m_blockMin.append(Infinity);
        m_blockMax.append(-Infinity);
    }
    if (!std::isfinite(value)) {
        m_irregular.append(index);
        return;
    }
    double &blockMin = m_blockMin.last();
    double &blockMax = m_blockMax.last();
    blockMin = std::min(blockMin, value);
    blockMax = std::max(blockMax, value);
    m_allMin = std::min(m_allMin, value);
    m_allMax = std::max(m_allMax, value);
}

void ChartLine::setValues(const QVector<double> &values, int first)
{
    const int count = m_values.size();
    if (first < 0 || first >= count)
        return;
    // The blocks from first's on are counted again; those before keep their extremes.
    const int start = first & ~(BlockSize - 1);
    const QVector<double> kept = m_values.mid(start);
    m_values.resize(start);
    m_blockMin.resize(start >> BlockShift);
    m_blockMax.resize(start >> BlockShift);
    m_irregular.erase(std::lower_bound(m_irregular.begin(), m_irregular.end(), start),
                      m_irregular.end());
    for (int i = start; i < count; ++i) {
        const int k = i - first;
        appendValue(k >= 0 && k < values.size() ? values.at(k) : kept.at(i - start));
    }
    // A value replaced may have been the smallest or largest: the range comes from the blocks.
    m_allMin = 0.0;
    m_allMax = 0.0;
    for (int block = 0; block < m_blockMin.size(); ++block) {
        m_allMin = std::min(m_allMin, m_blockMin.at(block));
        m_allMax = std::max(m_allMax, m_blockMax.at(block));
    }
}

void ChartLine::clear()
{
    m_values.clear();
    m_times.clear();
    m_labels.clear();
    m_labelTexts.clear();
    m_blockMin.clear();
    m_blockMax.clear();
    m_irregular.clear();
    m_allMin = 0.0;
    m_allMax = 0.0;
    m_pixelPointCount = 0;
}

int ChartLine::pixelX(int k) const
{
    return DMMChart::truncPixel(k * m_xScale + 0.5);
}

void ChartLine::setScales(double xScale, double yScale)
{
    m_xScale = xScale;
    m_yScale = yScale;
}

void ChartLine::updateRange()
{
    const int first = m_chart->firstIndex();
    const int last = std::min(m_chart->lastIndex(), m_values.size() - 1);
    if (first == 0 && last == m_values.size() - 1) {
        m_min = m_allMin;
        m_max = m_allMax;
        return;
    }
    m_min = 0.0;
    m_max = 0.0;
    if (last < first)
        return;
    double low = 0.0;
    double high = 0.0;
    finiteRange(first, last, &low, &high);
    m_min = std::min(m_min, low);
    m_max = std::max(m_max, high);
}

void ChartLine::updatePixelPoints()
{
    const int first = m_chart->firstIndex();
    const int last = std::min(m_chart->lastIndex(), m_values.size() - 1);
    m_pixelPointCount = std::max(0, last - first + 1);
}

void ChartLine::finiteRange(int first, int last, double *min, double *max) const
{
    *min = Infinity;
    *max = -Infinity;
    const double *value = m_values.constData();
    for (int i = first; i <= last;) {
        if (startsBlock(i) && i + BlockSize - 1 <= last) {
            *min = std::min(*min, m_blockMin.at(i >> BlockShift));
            *max = std::max(*max, m_blockMax.at(i >> BlockShift));
            i += BlockSize;
            continue;
        }
        if (std::isfinite(value[i])) {
            *min = std::min(*min, value[i]);
            *max = std::max(*max, value[i]);
        }
        ++i;
    }
}

bool ChartLine::breaksAtIrregular(double xScale)
{
    return xScale >= MinBreakScale;
}

int ChartLine::PixelMap::rowOf(double value) const
{
    return DMMChart::truncPixel(baseline - yScale * value);
}

void ChartLine::blockRows(int block, const PixelMap &map, int *top, int *bottom) const
{
    *top = map.rowOf(m_blockMax.at(block));
    *bottom = map.rowOf(m_blockMin.at(block));
}

// The row is monotonic in the value, so a block whose extreme values share a row can be passed
// over whole, and the highest row of a range is the row of its largest value. A block without
// finite values has top > bottom.
template<typename PassBlock, typename Matches>
int ChartLine::firstIndexIn(int from, int to, const PixelMap &map, PassBlock passBlock,
                            Matches matches) const
{
    const double *value = m_values.constData();
    for (int m = from; m <= to;) {
        if (startsBlock(m) && m + BlockSize - 1 <= to) {
            int top = 0;
            int bottom = 0;
            blockRows(m >> BlockShift, map, &top, &bottom);
            if (top > bottom || passBlock(top, bottom)) {
                m += BlockSize;
                continue;
            }
        }
        if (std::isfinite(value[m]) && matches(map.rowOf(value[m])))
            return m;
        ++m;
    }
    return to + 1;
}

int ChartLine::firstRowChangeIn(int from, int to, int row, const PixelMap &map) const
{
    return firstIndexIn(
        from, to, map, [row](int top, int bottom) { return top == row && bottom == row; },
        [row](int r) { return r != row; });
}

int ChartLine::lastRowChangeIn(int from, int to, int row, const PixelMap &map) const
{
    const double *value = m_values.constData();
    for (int m = to; m >= from;) {
        if (startsBlock(m + 1) && m - BlockSize + 1 >= from) {
            int top = 0;
            int bottom = 0;
            blockRows(m >> BlockShift, map, &top, &bottom);
            if ((top == row && bottom == row) || top > bottom) {
                m -= BlockSize;
                continue;
            }
        }
        if (std::isfinite(value[m]) && map.rowOf(value[m]) != row)
            return m;
        --m;
    }
    return from - 1;
}

int ChartLine::firstOnRowIn(int from, int to, int row, bool highest, const PixelMap &map) const
{
    const int found = firstIndexIn(
        from, to, map,
        [row, highest](int top, int bottom) { return (highest ? top : bottom) != row; },
        [row](int r) { return r == row; });
    return std::min(found, to);
}

// What the column steps of envelope() share: the window, how it is drawn, and the polyline being
// built.
struct ChartLine::Trace
{
    Trace(const ChartLine &line, int first, int last, const PixelMap &map, const DrawPolyline &draw,
          const FillColumn &fillColumn);

    int xOf(int i) const { return DMMChart::truncPixel((i - first) * map.xScale + map.left); }
    // The last point of column x, whose first point is i.
    int lastInColumn(int i, int x) const;
    // Whether a point that is not finite lies in from - 1..to + 1.
    bool irregularBeside(int from, int to);
    // Point m as the next vertex, unless it already is one.
    void take(int m, int x);
    // A vertex of no point of its own: it steers the stroker at a cut or a cap.
    void append(int x, int row) { polyline.append(QPoint(x, row)); }
    void fill(int x, std::initializer_list<int> rows);
    void flush();

    const double *values;
    int first;
    int last;
    const PixelMap &map;
    const DrawPolyline &draw;
    const FillColumn &fillColumn;
    bool breaks;
    bool spans;
    // The window's first and last finite point: where the line runs on through the others, its
    // one stretch starts and ends there.
    int firstVertex;
    int lastVertex;
    // The points that are not finite, from the one beside the column last asked about on.
    QVector<int>::const_iterator irregular;
    QVector<int>::const_iterator irregularEnd;
    QPolygon polyline;
    int lastTaken = -1;
};

// A column's points first..last, both finite, and what its path turns on: its first change of row
// (last + 1 without one), its last change of row (first - 1 without one) and the range of the
// finite values between them.
struct ChartLine::Column
{
    int x;
    int first;
    int last;
    int firstRow;
    int lastRow;
    int firstChange;
    int lastChange;
    double low;
    double high;
    // Whether vertices lie between the first and the last change of row.
    bool crowded() const { return low <= high; }
};

ChartLine::Trace::Trace(const ChartLine &line, int first, int last, const PixelMap &map,
                        const DrawPolyline &draw, const FillColumn &fillColumn)
    : values(line.m_values.constData())
    , first(first)
    , last(last)
    , map(map)
    , draw(draw)
    , fillColumn(fillColumn)
    , breaks(breaksAtIrregular(map.xScale))
    , spans(bool(fillColumn))
    , firstVertex(line.firstFiniteIn(first, last))
    , lastVertex(line.lastFiniteIn(first, last))
    , irregular(std::lower_bound(line.m_irregular.cbegin(), line.m_irregular.cend(), first))
    , irregularEnd(line.m_irregular.cend())
{
}

int ChartLine::Trace::lastInColumn(int i, int x) const
{
    if (i == last || xOf(i + 1) != x)
        return i;
    // The first point of a column further right, by bisection: x never decreases.
    int low = i + 1;
    int high = last + 1;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (xOf(middle) > x)
            high = middle;
        else
            low = middle + 1;
    }
    return low - 1;
}

bool ChartLine::Trace::irregularBeside(int from, int to)
{
    while (irregular != irregularEnd && *irregular < from - 1)
        ++irregular;
    return irregular != irregularEnd && *irregular <= to + 1;
}

void ChartLine::Trace::take(int m, int x)
{
    if (m > lastTaken) {
        polyline.append(QPoint(x, map.rowOf(values[m])));
        lastTaken = m;
    }
}

void ChartLine::Trace::fill(int x, std::initializer_list<int> rows)
{
    const auto span = std::minmax(rows);
    fillColumn(x, span.first, span.second);
}

void ChartLine::Trace::flush()
{
    if (!polyline.isEmpty())
        draw(polyline);
    polyline.resize(0);
}

void ChartLine::envelope(int first, int last, const PixelMap &map, const DrawPolyline &draw,
                         const FillColumn &fillColumn) const
{
    if (last < first || last >= m_values.size())
        return;
    Trace trace(*this, first, last, map, draw, fillColumn);
    for (int i = first; i <= last;) {
        const int x = trace.xOf(i);
        const int end = trace.lastInColumn(i, x);
        traceColumn(i, end, x, trace);
        i = end + 1;
    }
    trace.flush();
}

void ChartLine::traceColumn(int from, int to, int x, Trace &trace) const
{
    if (from == to) {
        onePointColumn(from, x, trace);
        return;
    }
    int first = from;
    int last = to;
    if (trace.breaks) {
        // A stretch starts or ends in a column beside a point that is not finite.
        if (from == trace.first || to == trace.last || trace.irregularBeside(from, to)) {
            stretchEndColumn(from, to, x, trace);
            return;
        }
    } else {
        // Points that are not finite are passed over: the column is its finite points.
        first = firstFiniteIn(from, to);
        last = lastFiniteIn(first, to);
        if (first > last)
            return;
        if (first == last) {
            onePointColumn(first, x, trace);
            return;
        }
        if (!trace.spans && (first == trace.firstVertex || last == trace.lastVertex)) {
            stretchEndColumn(first, last, x, trace);
            return;
        }
    }
    const Column column = columnOf(first, last, x, trace.map);
    const bool opens = trace.spans && !trace.breaks && first == trace.firstVertex;
    const bool closes = trace.spans && !trace.breaks && last == trace.lastVertex;
    if (closes)
        lineEndColumn(column, opens, trace);
    else if (opens)
        lineStartColumn(column, trace);
    else if (trace.spans && column.crowded())
        crowdedColumn(column, trace);
    else
        thinnedColumn(column, trace);
}

ChartLine::Column ChartLine::columnOf(int first, int last, int x, const PixelMap &map) const
{
    Column column;
    column.x = x;
    column.first = first;
    column.last = last;
    column.firstRow = map.rowOf(m_values.at(first));
    column.lastRow = map.rowOf(m_values.at(last));
    column.firstChange = firstRowChangeIn(first + 1, last, column.firstRow, map);
    column.lastChange = lastRowChangeIn(first, last - 1, column.lastRow, map);
    finiteRange(column.firstChange + 1, column.lastChange - 1, &column.low, &column.high);
    return column;
}

int ChartLine::firstFiniteIn(int from, int to) const
{
    const double *value = m_values.constData();
    while (from <= to && !std::isfinite(value[from]))
        ++from;
    return from;
}

int ChartLine::lastFiniteIn(int from, int to) const
{
    const double *value = m_values.constData();
    while (to >= from && !std::isfinite(value[to]))
        --to;
    return to;
}

// Nothing to thin: the point is the vertex, or, where points that are not finite break the line,
// the polyline ends there.
void ChartLine::onePointColumn(int m, int x, Trace &trace) const
{
    if (std::isfinite(m_values.at(m)))
        trace.take(m, x);
    else if (trace.breaks)
        trace.flush();
}

// Where a polyline starts and ends, even steps that stay on a row decide where the stroker's caps
// fall, so every point is kept; where points that are not finite break the line, the polyline
// ends at each of them.
void ChartLine::stretchEndColumn(int first, int last, int x, Trace &trace) const
{
    for (int m = first; m <= last; ++m) {
        if (std::isfinite(m_values.at(m)))
            trace.take(m, x);
        else if (trace.breaks)
            trace.flush();
    }
}

// Which end pixels a step covers depends on the step before it, so the first and the last change
// of row stay as they are; between them only the highest and the lowest vertex matter, the first
// of each, in their order along the line.
void ChartLine::thinnedColumn(const Column &column, Trace &trace) const
{
    const int x = column.x;
    trace.take(column.first, x);
    if (column.firstChange <= column.last)
        trace.take(column.firstChange, x);
    if (column.crowded()) {
        const int from = column.firstChange + 1;
        const int to = column.lastChange - 1;
        const PixelMap &map = trace.map;
        const int top = firstOnRowIn(from, to, map.rowOf(column.high), true, map);
        const int bottom = firstOnRowIn(from, to, map.rowOf(column.low), false, map);
        trace.take(std::min(top, bottom), x);
        trace.take(std::max(top, bottom), x);
    }
    if (column.lastChange >= column.first)
        trace.take(column.lastChange, x);
    trace.take(column.last, x);
}

// Stroking the steps up and down a crowded column costs far more than filling it. The polyline
// ends one row past the column's first point, toward its first change of row, and a new one starts
// one row before its last point: steps of one row in the same direction leave the stroker in the
// state the full steps leave it in, so the steps between columns keep their pixels, and the rows
// the cut-out part ran through are filled. The repeated end takes the end cap, as a step along the
// path would.
void ChartLine::crowdedColumn(const Column &column, Trace &trace) const
{
    const int x = column.x;
    const PixelMap &map = trace.map;
    const int firstChangeRow = map.rowOf(m_values.at(column.firstChange));
    const int lastChangeRow = map.rowOf(m_values.at(column.lastChange));
    const int endRow = column.firstRow + (firstChangeRow > column.firstRow ? 1 : -1);
    const int startRow = column.lastRow - (column.lastRow > lastChangeRow ? 1 : -1);
    trace.take(column.first, x);
    trace.append(x, endRow);
    trace.append(x, endRow);
    trace.flush();
    trace.fill(x, {endRow, firstChangeRow, map.rowOf(column.high), map.rowOf(column.low),
                   lastChangeRow, startRow});
    trace.append(x, startRow);
    trace.append(x, column.lastRow);
}

// The line's first column where crowded columns are cut: thinned or cut like any other, once its
// first step is kept where the start cap needs it.
void ChartLine::lineStartColumn(const Column &column, Trace &trace) const
{
    trace.take(column.first, column.x);
    keepFirstStep(column, trace);
    if (column.crowded())
        crowdedColumn(column, trace);
    else
        thinnedColumn(column, trace);
}

// The line's last column where crowded columns are cut: between the first and the last change of
// row the path covers every row it reaches; the step into the last change keeps its direction, as
// the end cap depends on it, and so is the last step kept where the cap needs it.
void ChartLine::lineEndColumn(const Column &column, bool opens, Trace &trace) const
{
    const int x = column.x;
    const PixelMap &map = trace.map;
    trace.take(column.first, x);
    if (opens)
        keepFirstStep(column, trace);
    if (column.firstChange <= column.last)
        trace.take(column.firstChange, x);
    if (column.crowded()) {
        const int lastChangeRow = map.rowOf(m_values.at(column.lastChange));
        trace.fill(x, {map.rowOf(m_values.at(column.firstChange)), map.rowOf(column.high),
                       map.rowOf(column.low), lastChangeRow});
        const int before =
            lastRowChangeIn(column.firstChange, column.lastChange - 1, lastChangeRow, map);
        if (before > column.firstChange) {
            const int previousRow = map.rowOf(m_values.at(before));
            trace.append(x, lastChangeRow - (lastChangeRow > previousRow ? 1 : -1));
        }
    }
    if (column.lastChange >= column.first)
        trace.take(column.lastChange, x);
    trace.take(column.last, x);
    keepLastStep(column, trace);
}

// Where crowded columns cut the polyline, the caps at the line's ends must still land where they
// land on the polyline through every point: a first or last step that stays on its row takes the
// cap, so it is kept.
void ChartLine::keepFirstStep(const Column &column, Trace &trace) const
{
    if (firstFiniteIn(column.first + 1, column.last) < column.firstChange)
        trace.append(column.x, column.firstRow);
}

void ChartLine::keepLastStep(const Column &column, Trace &trace) const
{
    if (lastFiniteIn(column.first, column.last - 1) > column.lastChange)
        trace.append(column.x, column.lastRow);
}
