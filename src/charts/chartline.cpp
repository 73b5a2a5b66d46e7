#include "chartline.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "charts/chartpoint.h"
#include "charts/dmmchart.h"

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
    m_values.reserve(m_values.size() + points.size());
    m_times.reserve(m_times.size() + points.size());
    m_labels.reserve(m_labels.size() + points.size());
    for (ChartPoint *point : points)
        addPoint(point);
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

// Without fillColumn the vertices are all of a stretch's first and last columns; in the others
// the first vertex, the first and last change of row, the first highest and first lowest vertex
// between them, and the last vertex. Points that are not finite are no vertices; where they do
// not break the line they are passed over.
void ChartLine::envelope(int first, int last, const PixelMap &map,
                         const std::function<void(const QPolygon &)> &draw,
                         const std::function<void(int x, int top, int bottom)> &fillColumn) const
{
    if (last < first || last >= m_values.size())
        return;
    const double *value = m_values.constData();
    const auto xOf = [&](int i) {
        return DMMChart::truncPixel((i - first) * map.xScale + map.left);
    };
    const auto rowOf = [&map](double v) { return map.rowOf(v); };
    const auto firstRowChange = [&](int from, int to, int row) {
        return firstRowChangeIn(from, to, row, map);
    };
    const auto lastRowChange = [&](int from, int to, int row) {
        return lastRowChangeIn(from, to, row, map);
    };
    const auto firstOnRow = [&](int from, int to, int row, bool highest) {
        return firstOnRowIn(from, to, row, highest, map);
    };

    QPolygon polyline;
    int lastTaken = -1;
    const auto take = [&](int m, int x) {
        if (m > lastTaken) {
            polyline.append(QPoint(x, rowOf(value[m])));
            lastTaken = m;
        }
    };
    const auto flush = [&]() {
        if (!polyline.isEmpty())
            draw(polyline);
        polyline.resize(0);
    };

    const bool breaks = breaksAtIrregular(map.xScale);
    const auto irregularEnd = m_irregular.cend();
    auto irregular = std::lower_bound(m_irregular.cbegin(), irregularEnd, first);
    const auto isIrregular = [&](int m) { return !std::isfinite(value[m]); };
    // Where the line runs on through irregular points it has one stretch, from the first to the
    // last finite point of the window.
    int firstVertex = first;
    while (firstVertex <= last && isIrregular(firstVertex))
        ++firstVertex;
    int lastVertex = last;
    while (lastVertex >= first && isIrregular(lastVertex))
        --lastVertex;

    // With spans the polyline is cut in crowded columns (the split below), so where it
    // starts and ends the stroker's caps must land where they land on the polyline through every
    // point: a first or last step that stays on its row is kept, as such a step takes the cap.
    const bool spans = bool(fillColumn);
    const auto nextFinite = [&](int from, int to) {
        while (from <= to && isIrregular(from))
            ++from;
        return from;
    };
    const auto previousFinite = [&](int from, int to) {
        while (to >= from && isIrregular(to))
            --to;
        return to;
    };
    const auto repeat = [&](int row, int x) { polyline.append(QPoint(x, row)); };

    for (int i = first; i <= last;) {
        const int x = xOf(i);
        // The column's last point: the one before the first point of a column further right.
        int j = i;
        if (i < last && xOf(i + 1) == x) {
            int low = i + 1;
            int high = last + 1;
            while (low < high) {
                const int middle = low + (high - low) / 2;
                if (xOf(middle) > x)
                    high = middle;
                else
                    low = middle + 1;
            }
            j = low - 1;
        }
        const int columnEnd = j;
        while (irregular != irregularEnd && *irregular < i - 1)
            ++irregular;
        bool whole = false;
        if (breaks) {
            // A stretch starts or ends in a column beside a point that is not finite.
            whole = i == first || j == last || (irregular != irregularEnd && *irregular <= j + 1);
        } else {
            while (i <= j && isIrregular(i))
                ++i;
            while (j >= i && isIrregular(j))
                --j;
            whole = !spans && (i == firstVertex || j == lastVertex);
        }
        if (i > j) {
            i = columnEnd + 1;
            continue;
        }
        if (whole) {
            for (int m = i; m <= j; ++m) {
                if (!isIrregular(m))
                    polyline.append(QPoint(x, rowOf(value[m])));
                else if (breaks)
                    flush();
            }
            lastTaken = j;
            i = columnEnd + 1;
            continue;
        }
        const int rowI = rowOf(value[i]);
        const int rowJ = rowOf(value[j]);
        const int a = firstRowChange(i + 1, j, rowI);
        const int k = lastRowChange(i, j - 1, rowJ);
        const bool opens = spans && !breaks && i == firstVertex;
        const bool closes = spans && !breaks && j == lastVertex;
        take(i, x);
        if (opens && nextFinite(i + 1, j) < std::min(a, j + 1))
            repeat(rowI, x);
        double low = Infinity;
        double high = -Infinity;
        if (a + 1 <= k - 1)
            finiteRange(a + 1, k - 1, &low, &high);
        const bool middle = low <= high;
        if (spans && middle && !closes) {
            // Split: the polyline ends one row past the column's first point, toward its first
            // change of row, and a new one starts one row before its last point. Steps of one row
            // in the same direction leave the stroker in the state the full steps leave it in, so
            // the steps between columns keep their pixels; the rows the cut-out part ran through
            // are filled. The repeated end takes the end cap, as a step along the path would.
            const int rowA = rowOf(value[a]);
            const int rowK = rowOf(value[k]);
            const int endRow = rowI + (rowA > rowI ? 1 : -1);
            const int startRow = rowJ - (rowJ > rowK ? 1 : -1);
            repeat(endRow, x);
            repeat(endRow, x);
            flush();
            const int rows[] = {endRow, rowA, rowOf(high), rowOf(low), rowK, startRow};
            fillColumn(x, *std::min_element(std::begin(rows), std::end(rows)),
                       *std::max_element(std::begin(rows), std::end(rows)));
            repeat(startRow, x);
            repeat(rowJ, x);
            lastTaken = j;
            i = columnEnd + 1;
            continue;
        }
        if (a <= j)
            take(a, x);
        if (middle && spans) {
            // The line's last column: between the first and the last change of row the path
            // covers every row it reaches; the step into the last change keeps its direction, as
            // the end cap depends on it.
            const int rowK = rowOf(value[k]);
            const int rows[] = {rowOf(value[a]), rowOf(high), rowOf(low), rowK};
            fillColumn(x, *std::min_element(std::begin(rows), std::end(rows)),
                       *std::max_element(std::begin(rows), std::end(rows)));
            const int q = lastRowChange(a, k - 1, rowK);
            if (q > a)
                repeat(rowK - (rowK > rowOf(value[q]) ? 1 : -1), x);
        } else if (middle) {
            const int top = firstOnRow(a + 1, k - 1, rowOf(high), true);
            const int bottom = firstOnRow(a + 1, k - 1, rowOf(low), false);
            take(std::min(top, bottom), x);
            take(std::max(top, bottom), x);
        }
        if (k >= i)
            take(k, x);
        take(j, x);
        if (closes && previousFinite(i, j - 1) > std::max(k, i - 1))
            repeat(rowJ, x);
        i = columnEnd + 1;
    }
    flush();
}
