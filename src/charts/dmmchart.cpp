#include "dmmchart.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QPolygon>
#include <QResizeEvent>
#include <QTimer>
#include <QVector>

#include "chartaxes.h"
#include "chartcursor.h"
#include "chartline.h"
#include "chartmarklines.h"
#include "chartpoint.h"
#include "overrangemarkers.h"

namespace {

const int IndicatorTimeoutMs = 3000;
const double MinTimeTickPixels = 80.0;
const double MinValueTickPixels = 30.0;

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
        m_pacer.addPoints(1);
        scheduleDataRepaint();
    }
}

void DMMChart::addPoints(const QList<ChartPoint *> &points)
{
    m_lines.first()->addPoints(points);
    if (!m_selecting && !m_zoomed) {
        m_axesDirty = true;
        m_pacer.addPoints(points.size());
        scheduleDataRepaint();
    }
}

void DMMChart::reservePoints(int points)
{
    m_lines.first()->reserve(points);
}

void DMMChart::scheduleDataRepaint()
{
    if (m_dataRepaintTimer->isActive())
        return;
    const qint64 waitNs = m_pacer.waitNs();
    if (waitNs <= 0)
        update();
    else
        m_dataRepaintTimer->start(int(waitNs / 1000000) + 1);
}

void DMMChart::setExcluded(const QVector<int> &indexes, const QVector<double> &values)
{
    m_excludedIndexes = indexes;
    m_excludedValues = values;
    m_linesDirty = true;
    update();
}

void DMMChart::addExcluded(const QVector<int> &indexes, const QVector<double> &values)
{
    m_excludedIndexes += indexes;
    m_excludedValues += values;
    m_linesDirty = true;
    update();
}

void DMMChart::setValues(const QVector<double> &values, int first)
{
    m_lines.first()->setValues(values, first);
    m_axesDirty = true;
    update();
}

QVector<QPoint> DMMChart::excludedPoints() const
{
    QVector<QPoint> centres;
    const ChartLine *line = m_lines.first();
    if (!hasPlotArea() || line->pixelPointCount() == 0)
        return centres;
    const ChartLine::PixelMap map{m_xScale, m_plotRect.x(), baselineY(), m_yScale};
    // One circle per cell of ExcludedCell pixels: a hundred thousand excluded readings draw no
    // more circles than the plot has cells, and a circle covers its cell.
    constexpr int ExcludedCell = 4;
    const int columns = m_plotRect.width() / ExcludedCell + 1;
    QVector<bool> taken(columns * (m_plotRect.height() / ExcludedCell + 1));
    const auto begin =
        std::lower_bound(m_excludedIndexes.cbegin(), m_excludedIndexes.cend(), m_firstIndex);
    const int last = m_firstIndex + line->pixelPointCount() - 1;
    for (auto it = begin; it != m_excludedIndexes.cend() && *it <= last; ++it) {
        const double value = m_excludedValues.at(int(it - m_excludedIndexes.cbegin()));
        const int row = std::isnan(value) ? m_plotRect.bottom() : map.rowOf(value);
        const QPoint centre(m_plotRect.left() + line->pixelX(*it - m_firstIndex),
                            std::min(std::max(row, m_plotRect.top()), m_plotRect.bottom()));
        const int cell = (centre.y() - m_plotRect.top()) / ExcludedCell * columns +
                         std::min(std::max(centre.x() - m_plotRect.left(), 0), m_plotRect.width()) /
                             ExcludedCell;
        if (taken.at(cell))
            continue;
        taken[cell] = true;
        centres.append(centre);
    }
    return centres;
}

void DMMChart::clear()
{
    m_excludedIndexes.clear();
    m_excludedValues.clear();
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
    if (m_lines.isEmpty())
        return -1;
    return ChartCursor::indexAt(m_lines.first(), x, m_plotRect.width());
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
        double low = 0.0;
        double high = 0.0;
        ChartMarkLines::extent(m_markLines, &low, &high);
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

    m_xTickPoints = ChartAxes::pointStep(m_xScale, MinTimeTickPixels);
    m_xGridPx = m_xTickPoints * m_xScale;
    if (m_xGridPx > 0.0)
        m_xDivs = truncPixel(m_plotRect.width() / m_xGridPx);

    m_yStep = ChartAxes::valueStep(m_yScale, MinValueTickPixels);
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
        labels.append(ChartAxes::clockText(line0->time(index)));
    }
    return labels;
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
            const ChartLine *line0 = m_lines.first();
            const int count = line0->pixelPointCount();
            int start = ChartCursor::firstPixelAtOrRightOf(line0, m_pressPoint.x());
            int end = ChartCursor::firstPixelAtOrRightOf(line0, m_currentPoint.x());
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
    if (recompose)
        m_pacer.recomposeStarted();
    if (m_axesDirty) {
        m_axesDirty = false;
        updateWindow();
        computeScales();
        computeGrid();
        // In a long item a new reading rarely moves a tick or changes a label: the axes stay.
        ChartAxes::Layout layout = axesLayout();
        if (m_axesLayer.size() != size() || !(layout == m_axesLayout)) {
            m_axesLayout = std::move(layout);
            if (m_axesLayer.size() != size())
                m_axesLayer = QImage(size(), QImage::Format_RGB32);
            QPainter layer(&m_axesLayer);
            layer.fillRect(0, 0, width(), height(), m_background);
            ChartAxes::draw(&layer, m_axesLayout);
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
            drawExcluded(&layer);
        }
    }
    if (recompose)
        m_pacer.recomposeFinished();
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
    m_axesLayout = ChartAxes::Layout();
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

ChartAxes::Layout DMMChart::axesLayout() const
{
    ChartAxes::Layout layout;
    layout.size = size();
    layout.plot = m_plotRect;
    layout.font = font();
    layout.xTitle = m_xTitle;
    layout.yTitle = m_yTitle;
    for (int i = 0; i < m_xDivs; ++i)
        layout.tickX.append(truncPixel(i * m_xGridPx + m_plotRect.left() + 0.5));
    layout.timeLabels = timeLabels();
    ChartAxes::addValueTicks(&layout, baselineY(), m_yGridPx, m_yStep, m_yDivsUp, m_yDivsDown,
                             m_decimals, !m_markLines.isEmpty());
    return layout;
}

void DMMChart::drawLine(QPainter *painter, QImage *layer, const ChartLine *line)
{
    if (line->pointCount() == 0 || !hasPlotArea())
        return;
    m_linePainter.draw(painter, layer, line, m_firstIndex, m_lastIndex,
                       ChartLine::PixelMap{m_xScale, m_plotRect.x(), baselineY(), m_yScale},
                       m_plotRect, m_overRangeColor);
}

QVector<int> DMMChart::overRangeColumns(const ChartLine *line, bool above) const
{
    return OverRangeMarkers::columns(line, m_firstIndex, m_lastIndex, m_xScale, m_plotRect.x(),
                                     above);
}

void DMMChart::drawExcluded(QPainter *painter)
{
    const QVector<QPoint> centres = excludedPoints();
    if (centres.isEmpty())
        return;
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(m_excludedColor, 1.5));
    painter->setBrush(Qt::NoBrush);
    for (const QPoint &centre : centres)
        painter->drawEllipse(QPointF(centre), 3.5, 3.5);
}

void DMMChart::drawMarkLines(QPainter *painter)
{
    ChartMarkLines::draw(painter, m_markLines, m_plotRect, baselineY(), m_yScale);
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

    const int x = m_plotRect.left() + line0->pixelX(m_indicatorIndex);
    QList<ChartPoint> points;
    for (const ChartLine *line : qAsConst(m_lines)) {
        const int index = m_firstIndex + m_indicatorIndex;
        if (index < line->pointCount())
            points.append(line->point(index));
    }
    ChartCursor::draw(painter, m_plotRect, x, points, m_indicatorColor);
}
