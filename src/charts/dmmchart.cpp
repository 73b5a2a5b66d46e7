#include "dmmchart.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QResizeEvent>
#include <QTimer>
#include <QVector>

#include "chartline.h"
#include "chartpoint.h"

namespace {

const int IndicatorTimeoutMs = 3000;
const double MinTimeTickPixels = 80.0;
const double MinValueTickPixels = 30.0;
const int TickLength = 5;
const QString ClockFormat = QStringLiteral("hh:mm:ss");
const int OverRangeMarkerHalfWidth = 3;
const int OverRangeMarkerHeight = 5;
// Redrawing the line after new points takes at most this share (1 / n) of the time.
const qint64 RecomposeCostShare = 4;
// While readings arrive in bulk, more than one in this time (a download, a fast serial gauge),
// the chart follows them at the frame interval at most, which the eye cannot tell from more
// frames. A gauge's live readings, ten or so a second, are drawn one by one.
const qint64 BulkPointSpacingNs = 4 * 1000 * 1000;
const qint64 BulkFrameNs = 20 * 1000 * 1000;

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

DMMChart::DMMChart(QWidget *parent)
    : QFrame(parent)
    , m_indicatorTimer(new QTimer(this))
    , m_dataRepaintTimer(new QTimer(this))
{
    m_lines.append(new ChartLine(this));
    m_indicatorTimer->setSingleShot(true);
    connect(m_indicatorTimer, &QTimer::timeout, this, &DMMChart::slotTmrIndicatorTimeout);
    m_dataRepaintTimer->setSingleShot(true);
    m_dataRepaintTimer->setTimerType(Qt::PreciseTimer);
    connect(m_dataRepaintTimer, &QTimer::timeout, this, QOverload<>::of(&QWidget::update));
    setAttribute(Qt::WA_MouseTracking);
    // The picture covers the whole widget: no background to clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

DMMChart::~DMMChart()
{
    qDeleteAll(m_lines);
}

void DMMChart::addPoint(ChartPoint *point)
{
    m_lines.first()->addPoint(point);
    if (!m_selecting && !m_zoomed) {
        m_axesDirty = true;
        ++m_pointsSinceRecompose;
        scheduleDataRepaint();
    }
}

void DMMChart::addPoints(const QList<ChartPoint *> &points)
{
    m_lines.first()->addPoints(points);
    if (!m_selecting && !m_zoomed) {
        m_axesDirty = true;
        m_pointsSinceRecompose += points.size();
        scheduleDataRepaint();
    }
}

void DMMChart::scheduleDataRepaint()
{
    // Every new point redraws the whole line. A gauge downloading its memory sends readings
    // faster than a large line can be redrawn, so redraws are spaced to take a bounded share of
    // the time, and while readings arrive in bulk, to a frame interval; a reading at a time is
    // still drawn at the next event-loop turn.
    if (m_dataRepaintTimer->isActive())
        return;
    qint64 spacingNs = RecomposeCostShare * m_recomposeNs;
    if (m_bulk)
        spacingNs = std::max(spacingNs, BulkFrameNs);
    const qint64 waitNs =
        m_sinceRecompose.isValid() ? spacingNs - m_sinceRecompose.nsecsElapsed() : 0;
    if (waitNs <= 0)
        update();
    else
        m_dataRepaintTimer->start(int(waitNs / 1000000) + 1);
}

void DMMChart::clear()
{
    for (ChartLine *line : qAsConst(m_lines))
        line->clear();
    // A zoom window and a cursor index only mean something for the points they were made on.
    m_zoomed = false;
    m_indicatorIndex = -1;
    m_indicatorVisible = false;
    m_axesDirty = true;
    update();
}

void DMMChart::setLeftMargin(int margin)
{
    m_leftMargin = margin;
    m_axesDirty = true;
    update();
}

void DMMChart::setBottomMargin(int margin)
{
    m_bottomMargin = margin;
}

void DMMChart::setXTitle(const QString &title)
{
    if (title == m_xTitle)
        return;
    m_xTitle = title;
    m_axesDirty = true;
    update();
}

void DMMChart::setYTitle(const QString &title)
{
    if (title == m_yTitle)
        return;
    m_yTitle = title;
    m_axesDirty = true;
    update();
}

void DMMChart::setDecimals(int decimals)
{
    m_decimals = decimals;
}

void DMMChart::setMarkLines(const QList<CoatingRequirement::Line> &lines)
{
    m_markLines = lines;
    m_axesDirty = true;
    update();
}

int DMMChart::valueY(double value) const
{
    return truncPixel(baselineY() - m_yScale * value);
}

bool DMMChart::visibleExtent(double *low, double *high) const
{
    bool found = false;
    for (const ChartLine *line : qAsConst(m_lines)) {
        const int last = std::min(m_lastIndex, line->pointCount() - 1);
        if (last < m_firstIndex)
            continue;
        double lineLow = 0.0;
        double lineHigh = 0.0;
        line->finiteRange(m_firstIndex, last, &lineLow, &lineHigh);
        if (!(lineLow <= lineHigh))
            continue;
        *low = found ? std::min(*low, lineLow) : lineLow;
        *high = found ? std::max(*high, lineHigh) : lineHigh;
        found = true;
    }
    return found;
}

bool DMMChart::savePixmap(const QString &fileName)
{
    return m_outputLayer.save(fileName);
}

int DMMChart::indexAt(int x) const
{
    if (m_lines.isEmpty() || m_lines.first()->pixelPointCount() == 0)
        return -1;
    const ChartLine *line = m_lines.first();
    const int count = line->pixelPointCount();
    if (x < 0)
        return 0;
    if (x > m_plotRect.width())
        return count - 1;
    const int i = firstPixelAtOrRightOf(x);
    if (i == count)
        return count - 1;
    if (line->pixelX(i) == x)
        return i;
    const int j = std::max(i - 1, 0);
    return (x - line->pixelX(j) > line->pixelX(i) - x) ? i : j;
}

int DMMChart::firstPixelAtOrRightOf(int x) const
{
    // Pixel x never decreases along the line, so the first one at or right of x is found by
    // bisection.
    const ChartLine *line = m_lines.first();
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

bool DMMChart::hasData() const
{
    return std::any_of(m_lines.cbegin(), m_lines.cend(),
                       [](const ChartLine *line) { return line->pointCount() > 0; });
}

int DMMChart::pointCount() const
{
    return m_lines.first()->pointCount();
}

QString DMMChart::indicatorText(const ChartPoint &point)
{
    if (isOverRange(point.value))
        return point.value > 0 ? QStringLiteral("OL") : QStringLiteral("-OL");
    return point.data.toString();
}

int DMMChart::baselineY() const
{
    return truncPixel(m_plotRect.top() + m_yScale * m_yMax);
}

void DMMChart::computeScales()
{
    for (ChartLine *line : qAsConst(m_lines))
        line->updateRange();
    m_yMin = -1.0;
    m_yMax = 1.0;
    for (const ChartLine *line : qAsConst(m_lines)) {
        m_yMax = std::max(m_yMax, line->maxValue());
        m_yMin = std::min(m_yMin, line->minValue());
    }
    m_yMax += std::abs(m_yMax) / 10;
    m_yMin -= std::abs(m_yMin) / 10;
    if (!m_markLines.isEmpty()) {
        // Judged against limits, the scatter between them matters, not the distance from 0.
        double low = m_markLines.first().value;
        double high = low;
        for (const CoatingRequirement::Line &mark : qAsConst(m_markLines)) {
            low = std::min(low, mark.value);
            high = std::max(high, mark.value);
        }
        double dataLow = 0.0;
        double dataHigh = 0.0;
        if (visibleExtent(&dataLow, &dataHigh)) {
            low = std::min(low, dataLow);
            high = std::max(high, dataHigh);
        }
        const double margin = high > low ? (high - low) / 10 : std::max(std::abs(high), 1.0) / 10;
        m_yMin = low - margin;
        m_yMax = high + margin;
    }

    m_yScale = 0.0;
    m_xScale = 0.0;
    // A plot area squeezed to nothing gets no scale rather than a negative one.
    if (hasPlotArea()) {
        m_yScale = m_plotRect.height() / (m_yMax - m_yMin);
        if (m_lastIndex - m_firstIndex >= 0)
            m_xScale = double(m_plotRect.width()) / (m_lastIndex - m_firstIndex + 1);
    }
    for (ChartLine *line : qAsConst(m_lines)) {
        line->setScales(m_xScale, m_yScale);
        line->updatePixelPoints();
    }
}

void DMMChart::computeGrid()
{
    m_xDivs = 0;
    m_yDivsUp = 0;
    m_yDivsDown = 0;
    if (!hasPlotArea()) {
        // Not even the baseline tick: there is no plot to mark.
        m_yDivsUp = -1;
        m_yDivsDown = -1;
        return;
    }
    if (!hasData())
        return;

    m_xTickPoints = pointStep(m_xScale, MinTimeTickPixels);
    m_xGridPx = m_xTickPoints * m_xScale;
    if (m_xGridPx > 0.0)
        m_xDivs = truncPixel(m_plotRect.width() / m_xGridPx);

    m_yStep = valueStep(m_yScale, MinValueTickPixels);
    m_yGridPx = m_yScale * m_yStep;
    if (m_yGridPx > 0.0) {
        m_yDivsUp = truncPixel(m_yMax * m_yScale / m_yGridPx);
        m_yDivsDown = truncPixel(std::abs(m_yMin) * m_yScale / m_yGridPx);
    }
}

QStringList DMMChart::timeLabels() const
{
    QStringList labels;
    const ChartLine *line0 = m_lines.first();
    for (int i = 0; i < m_xDivs; ++i) {
        const int index = i * m_xTickPoints + m_firstIndex;
        if (index >= line0->pointCount())
            break;
        labels.append(line0->time(index).toString(ClockFormat));
    }
    return labels;
}

int DMMChart::pointStep(double scale, double minPixels)
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

double DMMChart::valueStep(double scale, double minPixels)
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

QString DMMChart::valueLabel(double value, int decimals)
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

void DMMChart::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && hasData()) {
        m_indicatorIndex = -1;
        m_indicatorVisible = false;
        update();
        if (!m_selecting) {
            m_selecting = true;
            m_pressPoint = plotPosition(event->pos());
            // A release without a move then compares the press point with itself.
            m_currentPoint = m_pressPoint;
        }
    }
    QFrame::mousePressEvent(event);
}

void DMMChart::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_selecting) {
        if (m_currentPoint.x() > m_pressPoint.x() && m_currentPoint.y() > m_pressPoint.y()) {
            const int count = m_lines.first()->pixelPointCount();
            int start = firstPixelAtOrRightOf(m_pressPoint.x());
            int end = firstPixelAtOrRightOf(m_currentPoint.x());
            end = end < count ? std::max(end - 1, 1) : -1;
            if (start >= count)
                start = 0;
            if (end < 0 || end > count - 1)
                end = count - 1;
            if (end - start > 0) {
                // Relative to the window in force, so zooms nest.
                m_zoomed = true;
                m_lastIndex = m_firstIndex + end;
                m_firstIndex = m_firstIndex + start;
            }
        } else {
            m_zoomed = false;
        }
        m_selecting = false;
        m_axesDirty = true;
        update();
    }
    QFrame::mouseReleaseEvent(event);
}

void DMMChart::mouseMoveEvent(QMouseEvent *event)
{
    if (m_selecting) {
        m_currentPoint = plotPosition(event->pos());
        m_selectionDirty = true;
        update();
    } else {
        const int x =
            std::min(std::max(event->pos().x() - m_plotRect.left(), 0), m_plotRect.width());
        const int index = indexAt(x);
        // Staying on the same index clears the flag: the cursor then goes at the next
        // recomposition of the output layer.
        m_indicatorVisible = index != m_indicatorIndex && index != -1;
        if (m_indicatorVisible) {
            m_indicatorIndex = index;
            m_indicatorTimer->start(IndicatorTimeoutMs);
            m_indicatorDirty = true;
            update();
        }
    }
    QFrame::mouseMoveEvent(event);
}

void DMMChart::renderPixmap()
{
    if (m_layoutSize != size())
        layoutPlot(size());
    if (size().isEmpty())
        return;
    bool lowerChanged = false;
    const bool recompose = m_axesDirty;
    if (recompose) {
        const qint64 sinceLast = m_sinceRecompose.isValid() ? m_sinceRecompose.nsecsElapsed() : 0;
        m_bulk =
            m_pointsSinceRecompose > 1 && sinceLast < m_pointsSinceRecompose * BulkPointSpacingNs;
        m_pointsSinceRecompose = 0;
        m_sinceRecompose.start();
    }
    if (m_axesDirty) {
        m_axesDirty = false;
        updateWindow();
        computeScales();
        computeGrid();
        // In a long item a new reading rarely moves a tick or changes a label: the axes stay.
        AxesLayout layout = axesLayout();
        if (m_axesLayer.size() != size() || !(layout == m_axesLayout)) {
            m_axesLayout = std::move(layout);
            if (m_axesLayer.size() != size())
                m_axesLayer = QImage(size(), QImage::Format_RGB32);
            QPainter layer(&m_axesLayer);
            layer.fillRect(0, 0, width(), height(), m_background);
            drawAxes(&layer, m_axesLayout);
        }
        lowerChanged = true;
    }
    if (m_linesDirty || lowerChanged) {
        m_linesDirty = false;
        // The layers above are made anew from this one; letting go of them first lets the
        // axes be copied into the buffer the lines were drawn in last time, rather than into a
        // new one of a few megabytes for every reading.
        m_selectionLayer = QImage();
        m_outputLayer = QImage();
        if (m_linesLayer.size() == m_axesLayer.size() &&
            m_linesLayer.format() == m_axesLayer.format() && !m_linesLayer.isNull()) {
            std::memcpy(m_linesLayer.bits(), m_axesLayer.constBits(),
                        size_t(m_axesLayer.sizeInBytes()));
        } else {
            m_linesLayer = m_axesLayer.copy();
        }
        lowerChanged = true;
        if (!m_markLines.isEmpty() && hasPlotArea()) {
            QPainter layer(&m_linesLayer);
            drawMarkLines(&layer);
        }
        if (hasData()) {
            QPainter layer(&m_linesLayer);
            for (const ChartLine *line : qAsConst(m_lines)) {
                layer.save();
                drawLine(&layer, &m_linesLayer, line);
                layer.restore();
            }
        }
    }
    if (recompose)
        m_recomposeNs = m_sinceRecompose.nsecsElapsed();
    if (m_selectionDirty || lowerChanged) {
        m_selectionDirty = false;
        m_selectionLayer = m_linesLayer;
        if (m_selecting) {
            QPainter layer(&m_selectionLayer);
            drawSelection(&layer);
        }
        lowerChanged = true;
    }
    if (m_indicatorDirty || lowerChanged) {
        // While the timer runs every paint recomposes this layer, so the cursor can vanish.
        if (!m_indicatorTimer->isActive())
            m_indicatorDirty = false;
        m_outputLayer = m_selectionLayer;
        if (hasData() && m_indicatorVisible) {
            QPainter layer(&m_outputLayer);
            drawIndicator(&layer);
        }
    }
}

void DMMChart::paintEvent(QPaintEvent *event)
{
    if (size().isEmpty())
        return;
    renderPixmap();
    {
        QPainter painter(this);
        painter.drawImage(0, 0, m_outputLayer);
    }
    QFrame::paintEvent(event);
}

void DMMChart::resizeEvent(QResizeEvent *event)
{
    layoutPlot(event->size());
    QFrame::resizeEvent(event);
}

void DMMChart::layoutPlot(const QSize &size)
{
    m_plotRect = QRect(m_leftMargin, m_topMargin, size.width() - m_rightMargin - m_leftMargin,
                       size.height() - m_bottomMargin - m_topMargin);
    m_axesLayer = QImage(size, QImage::Format_RGB32);
    m_axesLayout = AxesLayout();
    m_layoutSize = size;
    m_axesDirty = true;
}

void DMMChart::slotTmrIndicatorTimeout()
{
    m_indicatorVisible = false;
    update();
}

void DMMChart::updateWindow()
{
    const int count = m_lines.first()->pointCount();
    if (m_zoomed && (m_firstIndex < 0 || m_firstIndex >= m_lastIndex || m_lastIndex >= count))
        m_zoomed = false;
    if (!m_zoomed) {
        m_firstIndex = 0;
        m_lastIndex = count - 1;
    }
}

QPoint DMMChart::plotPosition(const QPoint &pos) const
{
    return QPoint(std::min(std::max(pos.x() - m_plotRect.left(), 0), m_plotRect.width()),
                  std::min(std::max(pos.y() - m_plotRect.top(), 0), m_plotRect.height()));
}

bool DMMChart::AxesLayout::operator==(const AxesLayout &other) const
{
    return size == other.size && plot == other.plot && font == other.font && tickX == other.tickX &&
           timeLabels == other.timeLabels && tickY == other.tickY &&
           valueLabels == other.valueLabels && xTitle == other.xTitle && yTitle == other.yTitle;
}

DMMChart::AxesLayout DMMChart::axesLayout() const
{
    AxesLayout layout;
    layout.size = size();
    layout.plot = m_plotRect;
    layout.font = font();
    layout.xTitle = m_xTitle;
    layout.yTitle = m_yTitle;
    for (int i = 0; i < m_xDivs; ++i)
        layout.tickX.append(truncPixel(i * m_xGridPx + m_plotRect.left() + 0.5));
    layout.timeLabels = timeLabels();
    // direction +1 walks up from the baseline, -1 down; both series mark the baseline.
    const int baseline = baselineY();
    const auto addValueTicks = [&](int direction, int divs) {
        for (int j = 0; j <= divs; ++j) {
            const int y = truncPixel(baseline - direction * j * m_yGridPx);
            // A range spanning limits away from 0 puts the first ticks outside the plot.
            if (!m_markLines.isEmpty() && (y < m_plotRect.top() - 1 || y > m_plotRect.bottom() + 1))
                continue;
            layout.tickY.append(y);
            layout.valueLabels.append(valueLabel(direction * j * m_yStep, m_decimals));
        }
    };
    addValueTicks(1, m_yDivsUp);
    addValueTicks(-1, m_yDivsDown);
    return layout;
}

void DMMChart::drawAxes(QPainter *painter, const AxesLayout &layout)
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

void DMMChart::drawLine(QPainter *painter, QImage *layer, const ChartLine *line)
{
    if (line->pointCount() == 0 || !hasPlotArea())
        return;
    const int end = std::min(m_lastIndex + 1, line->pointCount());
    const QColor color = line->color();
    painter->setPen(QPen(color, 1));
    // Each stretch of in-range points is a polyline of its own: an over-range point breaks it.
    // Where many readings share a column, filling its span costs far less than stroking the
    // steps up and down it; the spans go to the painter in one call.
    QVector<QRect> spans;
    line->envelope(
        m_firstIndex, end - 1, ChartLine::PixelMap{m_xScale, m_plotRect.x(), baselineY(), m_yScale},
        [&](const QPolygon &polyline) {
            if (polyline.size() == 1)
                painter->drawPoint(polyline.first());
            else if (!m_stamps.draw(layer, polyline, color.rgb()))
                painter->drawPolyline(polyline);
        },
        [&spans](int x, int top, int bottom) { spans.append(QRect(x, top, 1, bottom - top + 1)); });
    painter->setPen(Qt::NoPen);
    painter->setBrush(color);
    painter->drawRects(spans.constData(), spans.size());
    drawOverRangeMarkers(painter, line);
}

QVector<int> DMMChart::overRangeColumns(const ChartLine *line, bool above) const
{
    QVector<int> columns;
    const int end = std::min(m_lastIndex + 1, line->pointCount());
    const double *value = line->values().constData();
    const double mark =
        above ? std::numeric_limits<double>::infinity() : -std::numeric_limits<double>::infinity();
    const QVector<int> &irregular = line->irregularIndexes();
    const auto columnOf = [this](int i) {
        return truncPixel((i - m_firstIndex) * m_xScale + m_plotRect.x());
    };
    const auto last = std::lower_bound(irregular.cbegin(), irregular.cend(), end);
    for (auto it = std::lower_bound(irregular.cbegin(), last, m_firstIndex); it != last;) {
        if (value[*it] != mark) {
            ++it;
            continue;
        }
        const int x = columnOf(*it);
        columns.append(x);
        // A crowded column holds many over-range readings; one marker stands for them all.
        it = std::partition_point(it, last, [&](int i) { return columnOf(i) <= x; });
    }
    return columns;
}

QVector<QRect> DMMChart::markerRects(const QPolygon &marker, const QVector<int> &columns)
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

void DMMChart::drawOverRangeMarkers(QPainter *painter, const ChartLine *line)
{
    // A small triangle pointing out of the plot: up at the top edge for "OL", down at the
    // bottom edge for "-OL".
    const int top = m_plotRect.top();
    const int bottom = m_plotRect.bottom();
    const QPolygon up({QPoint(-OverRangeMarkerHalfWidth, top + OverRangeMarkerHeight),
                       QPoint(OverRangeMarkerHalfWidth, top + OverRangeMarkerHeight),
                       QPoint(0, top)});
    const QPolygon down({QPoint(-OverRangeMarkerHalfWidth, bottom - OverRangeMarkerHeight),
                         QPoint(OverRangeMarkerHalfWidth, bottom - OverRangeMarkerHeight),
                         QPoint(0, bottom)});
    QVector<QRect> rects = markerRects(up, overRangeColumns(line, true));
    rects += markerRects(down, overRangeColumns(line, false));
    painter->setPen(Qt::NoPen);
    painter->setBrush(m_overRangeColor);
    painter->drawRects(rects.constData(), rects.size());
}

void DMMChart::drawMarkLines(QPainter *painter)
{
    const QFontMetrics metrics = painter->fontMetrics();
    for (const CoatingRequirement::Line &mark : qAsConst(m_markLines)) {
        const int y = valueY(mark.value);
        if (y < m_plotRect.top() || y > m_plotRect.bottom())
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
        painter->drawLine(m_plotRect.left(), y, m_plotRect.right(), y);
        const QString text = mark.label;
        const int w = metrics.horizontalAdvance(text);
        painter->drawText(
            QRect(m_plotRect.right() - w - 2, y - metrics.height(), w, metrics.height()),
            Qt::AlignRight | Qt::AlignBottom, text);
    }
}

void DMMChart::drawSelection(QPainter *painter)
{
    const int left = m_plotRect.left();
    const int top = m_plotRect.top();
    const QPolygon band({QPoint(left + m_pressPoint.x(), top + m_pressPoint.y()),
                         QPoint(left + m_currentPoint.x(), top + m_pressPoint.y()),
                         QPoint(left + m_currentPoint.x(), top + m_currentPoint.y()),
                         QPoint(left + m_pressPoint.x(), top + m_currentPoint.y())});
    painter->setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter->drawPolygon(band, Qt::OddEvenFill);
}

void DMMChart::drawIndicator(QPainter *painter)
{
    if (!hasData() || m_indicatorIndex == -1 || !hasPlotArea())
        return;
    const ChartLine *line0 = m_lines.first();
    if (line0->pixelPointCount() == 0)
        return;
    if (m_indicatorIndex >= line0->pixelPointCount())
        m_indicatorIndex = line0->pixelPointCount() - 1;

    painter->setPen(m_indicatorColor);
    const int x = m_plotRect.left() + line0->pixelX(m_indicatorIndex);
    painter->drawLine(x, m_plotRect.top(), x, m_plotRect.bottom());

    // Labels stand in the top margin, stacked upwards, on the side that keeps them in the plot.
    const QFontMetrics metrics = painter->fontMetrics();
    const int h = metrics.height();
    int textBottom = m_plotRect.top();
    for (const ChartLine *line : qAsConst(m_lines)) {
        const int index = m_firstIndex + m_indicatorIndex;
        if (index >= line->pointCount())
            continue;
        const ChartPoint point = line->point(index);
        const QString text =
            QStringLiteral("%1:%2\r\n").arg(point.time.toString(ClockFormat), indicatorText(point));
        const int w = metrics.horizontalAdvance(text);
        const int textLeft = (x + 2 + w >= m_plotRect.right()) ? x - 2 - w : x + 2;
        painter->drawText(QRect(textLeft, textBottom - h, w, h), Qt::AlignCenter, text);
        textBottom = textBottom - h + 1;
    }
}
