#include "histogram.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include <QFontMetrics>
#include <QPainter>
#include <QResizeEvent>
#include <QtAlgorithms>

#include "histogrambar.h"
#include "histogrambin.h"

namespace {
// Count ticks are spaced at least this far apart.
constexpr double MinTickSpacing = 50.0;
constexpr int LimitBins = 10;
// Round widths of intervals: 1, 1.5, 2, 2.5, 3, 4, 5, 6, 8 times a power of ten.
constexpr double Mantissas[] = {1.0, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 8.0};
// The standard bands are about this many to the over-range limit: 200 wide for 1250.
constexpr double StandardBands = 6.25;

// The smallest round width of at least raw.
double roundWidth(double raw)
{
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (double mantissa : Mantissas)
        if (mantissa * decade >= raw)
            return mantissa * decade;
    return 10.0 * decade;
}
} // namespace

Histogram::Histogram(QWidget *parent)
    : QWidget(parent)
{
    // The cached picture covers the whole widget.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

Histogram::~Histogram()
{
    qDeleteAll(m_bars);
    qDeleteAll(m_bins);
}

void Histogram::addValue(double value)
{
    m_values.append(value);
    if (std::isinf(value)) {
        countOverRange(m_values.size() - 1);
    } else {
        for (HistogramBin *bin : qAsConst(m_bins))
            bin->add(value);
    }
    changed();
}

void Histogram::addValues(const QList<double> &values)
{
    const int first = m_values.size();
    // No exact reserve: the vector keeps growing geometrically, so the next live reading after
    // loading a large item does not copy the whole list.
    for (double value : values)
        m_values.append(value);
    for (HistogramBin *bin : qAsConst(m_bins))
        bin->add(m_values, first);
    countOverRange(first);
    changed();
}

void Histogram::clear()
{
    m_values.clear();
    rebin();
    changed();
}

void Histogram::setRanges(const QList<QPair<double, double>> &ranges)
{
    m_ranges = ranges;
    qDeleteAll(m_bars);
    m_bars.clear();
    qDeleteAll(m_bins);
    m_bins.clear();
    for (const QPair<double, double> &range : qAsConst(m_ranges)) {
        auto *bin = new HistogramBin(range);
        bin->fill(m_values);
        m_bins.append(bin);
        m_bars.append(new HistogramBar(bin));
    }
    countOverRange(0);
    // The bars no longer match the cached picture; the next paint redraws it.
    m_dirty = true;
}

void Histogram::setMargins(const QMargins &margins)
{
    m_left = margins.left();
    m_top = margins.top();
    m_right = margins.right();
    m_bottom = margins.bottom();
}

void Histogram::setXTitle(const QString &title)
{
    if (title == m_xTitle)
        return;
    m_xTitle = title;
    changed();
}

void Histogram::setYTitle(const QString &title)
{
    if (title == m_yTitle)
        return;
    m_yTitle = title;
    changed();
}

void Histogram::setDecimals(int decimals)
{
    m_decimals = decimals;
    changed();
}

void Histogram::setMarkLines(const QList<CoatingRequirement::Line> &lines)
{
    m_markLines = lines;
    changed();
}

QList<QPair<double, double>> Histogram::standardRanges(double overRangeLimit)
{
    const double width = roundWidth(overRangeLimit / StandardBands);
    // Whole bands up to at least one width short of the limit; the last band takes the rest, one
    // to two widths.
    const int bands = int(std::floor(overRangeLimit / width)) - 1;
    QList<QPair<double, double>> ranges{{std::numeric_limits<double>::lowest(), 0.0}};
    for (int i = 0; i < bands; ++i)
        ranges.append({i * width, (i + 1) * width});
    ranges.append({bands * width, overRangeLimit});
    ranges.append({overRangeLimit, std::numeric_limits<double>::max()});
    return ranges;
}

QList<QPair<double, double>> Histogram::rangesAround(double lowest, double highest,
                                                     double overRangeLimit)
{
    const double low = std::max(0.0, lowest / 2);
    const double high = std::max(1.5 * highest, low + 1e-6);
    // Round bounds read better than exact fractions of the span: the step is the first round
    // width whose ten intervals, from the multiple of the step at or below low, reach high.
    const double raw = (high - low) / LimitBins;
    double decade = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 0.0;
    double first = 0.0;
    for (int m = 0; step == 0.0; ++m) {
        if (m == int(std::size(Mantissas))) {
            m = 0;
            decade *= 10.0;
        }
        const double candidate = Mantissas[m] * decade;
        const double start = std::floor(low / candidate) * candidate;
        if (candidate >= raw && start + LimitBins * candidate >= high) {
            step = candidate;
            first = start;
        }
    }
    const double top = first + LimitBins * step;
    QList<QPair<double, double>> ranges{{std::numeric_limits<double>::lowest(), 0.0}};
    if (first > 0.0)
        ranges.append({0.0, first});
    const double base = std::round(first / step);
    for (int i = 0; i < LimitBins; ++i)
        ranges.append({(base + i) * step, (base + i + 1) * step});
    if (top < overRangeLimit)
        ranges.append({top, overRangeLimit});
    ranges.append({std::max(top, overRangeLimit), std::numeric_limits<double>::max()});
    return ranges;
}

double Histogram::valueY(double value) const
{
    // The first and the last interval are open-ended: no place within them means a value.
    for (int i = 1; i + 1 < m_ranges.size(); ++i) {
        const QPair<double, double> &range = m_ranges.at(i);
        if (range.first <= value && value <= range.second && range.second > range.first)
            return -(i + (value - range.first) / (range.second - range.first)) * m_slotHeight;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

bool Histogram::savePixmap(const QString &fileName) const
{
    return m_output.save(fileName);
}

void Histogram::layoutBars()
{
    m_maxCount = 0;
    for (const HistogramBin *bin : qAsConst(m_bins))
        m_maxCount = qMax(m_maxCount, bin->count());
    if (m_maxCount == 0)
        m_maxCount = 1;

    // The longest bar spans the plot width less one pixel. A plot one pixel wide or less has no
    // room for any length: every bar keeps its minimum of one pixel and the count axis no ticks.
    const double plotWidth = m_plotRect.width();
    m_pxPerCount = plotWidth > 1.0 ? (plotWidth - 1.0) / m_maxCount : 0.0;

    // The smallest step k >= 2 whose length reaches the tick spacing. The length is summed count
    // by count rather than multiplied: near 50 pixels the two can round to different sides.
    m_labelStep = 1;
    if (m_pxPerCount > 0.0 && m_pxPerCount < MinTickSpacing) {
        int k = 1;
        double length = m_pxPerCount;
        do {
            length += m_pxPerCount;
            ++k;
        } while (length < MinTickSpacing);
        m_labelStep = k;
    }

    m_intervalCount = m_ranges.size();
    m_slotHeight = m_intervalCount > 0 ? m_plotRect.height() / m_intervalCount : 1.0;

    // Each bar fills the middle 80 % of its slot; bar m sits in the m-th slot from the bottom.
    const double gap = 1.0 - 0.9;
    for (int i = 0; i < m_bars.size(); ++i) {
        HistogramBar *bar = m_bars.at(i);
        double length = std::trunc(bar->bin()->count() * m_pxPerCount);
        if (length == 0.0)
            length = 1.0;
        const int m = i + 1;
        bar->setRect(QRectF(0, gap * m_slotHeight - m * m_slotHeight, length, 0.8 * m_slotHeight));
    }
}

int Histogram::count(int bin) const
{
    return m_bins.at(bin)->count();
}

QString Histogram::bottomLabel(int bar) const
{
    if (bar == 0)
        return tr("-OL ");
    if (bar == m_bars.size() - 1)
        return QString();
    return QString::number(m_bins.at(bar)->range().first, 'f', m_decimals) + QLatin1Char('x');
}

QString Histogram::topLabel(int bar) const
{
    if (bar == m_bars.size() - 1)
        return tr("OL ");
    if (bar == 0)
        return QString();
    return QString::number(m_bins.at(bar)->range().second, 'f', m_decimals) + QLatin1Char(' ');
}

bool Histogram::hasMidMark(int bar, int lineHeight) const
{
    return bar > 0 && bar < m_bars.size() - 1 && m_bars.at(bar)->rect().height() >= 3 * lineHeight;
}

double Histogram::countTickStep() const
{
    return m_labelStep * m_pxPerCount;
}

int Histogram::countTickCount() const
{
    const int width = int(m_plotRect.width());
    const double step = countTickStep();
    if (step <= 0.0 || width < step)
        return 0;
    int ticks = 0;
    int rest = width;
    do {
        if (ticks > 0)
            rest = int(rest - step);
        ++ticks;
    } while (rest >= step);
    return ticks;
}

int Histogram::countTickX(int tick) const
{
    return int(tick * countTickStep() - 1);
}

void Histogram::renderPixmap()
{
    if (m_layoutSize != size())
        layoutPlot(size());
    layoutBars();
    if (m_dirty && !size().isEmpty()) {
        m_axesLayer = QPixmap(size());
        QPainter axesPainter(&m_axesLayer);
        axesPainter.setFont(font());
        drawAxes(&axesPainter);
        axesPainter.end();

        m_barsLayer = m_axesLayer;
        QPainter barsPainter(&m_barsLayer);
        barsPainter.setFont(font());
        drawBars(&barsPainter);
        drawMarkLines(&barsPainter);
        barsPainter.end();

        m_output = m_barsLayer;
        m_dirty = false;
    }
}

void Histogram::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    renderPixmap();
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_output);
}

void Histogram::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutPlot(event->size());
}

void Histogram::layoutPlot(const QSize &size)
{
    // A widget smaller than its margins has an empty plot rather than a negative one.
    m_plotRect = QRectF(0, 0, qMax(0, size.width() - m_right - m_left),
                        qMax(0, size.height() - m_bottom - m_top));
    m_layoutSize = size;
    m_dirty = true;
}

void Histogram::rebin()
{
    for (HistogramBin *bin : qAsConst(m_bins))
        bin->fill(m_values);
    countOverRange(0);
}

void Histogram::countOverRange(int first)
{
    if (m_bins.isEmpty())
        return;
    int over = 0;
    int under = 0;
    const double *end = m_values.constData() + m_values.size();
    for (const double *v = m_values.constData() + first; v < end; ++v) {
        over += int(*v == std::numeric_limits<double>::infinity());
        under += int(*v == -std::numeric_limits<double>::infinity());
    }
    m_bins.last()->addOverRange(over);
    m_bins.first()->addOverRange(under);
}

void Histogram::changed()
{
    m_dirty = true;
    update();
}

// Plot coordinates: logical (0, 0) is the widget pixel (left, height - bottom).
void Histogram::setPlotWindow(QPainter *painter) const
{
    painter->setWindow(-m_left, m_bottom - height(), width(), height());
}

void Histogram::drawAxes(QPainter *painter)
{
    const QFontMetrics metrics = painter->fontMetrics();
    const int h = metrics.height();

    painter->save();
    painter->fillRect(0, 0, width(), height(), Qt::white);
    setPlotWindow(painter);

    const double plotWidth = m_plotRect.width();
    painter->drawLine(QPointF(-1, 1), QPointF(plotWidth, 1));
    painter->drawLine(QPointF(-1, 1), QPointF(-1, -m_plotRect.height()));

    const int ticks = countTickCount();
    for (int i = 0; i < ticks; ++i) {
        const QString text = QString::number(i * m_labelStep);
        const int textWidth = metrics.horizontalAdvance(text);
        const int x = countTickX(i);
        painter->drawLine(x, 1, x, 6);
        painter->drawText(QRect(x + 1 - textWidth / 2, 7, textWidth, h), Qt::AlignCenter, text);
    }

    painter->setPen(Qt::black);
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("0000.0 "));
    const int blankWidth = metrics.horizontalAdvance(QLatin1Char(' '));
    // Labels wider than the box, such as "1000.00x", run on into the margin instead of being cut.
    const int labelFlags = Qt::AlignRight | Qt::TextDontClip;
    for (int i = 0; i < m_bars.size(); ++i) {
        const QRectF rect = m_bars.at(i)->rect();
        const int lx = int(rect.x() - labelWidth - blankWidth);
        painter->drawText(QRect(lx, int(rect.y() + rect.height() - h), labelWidth, h), labelFlags,
                          bottomLabel(i));
        // The many narrow bars laid out around limits have room for one bound each: the one
        // below them, which is also the one above the bar underneath.
        const bool crowded = !m_markLines.isEmpty() && rect.height() < 2 * h;
        if (!crowded || bottomLabel(i).isEmpty())
            painter->drawText(QRect(lx, int(rect.y()), labelWidth, h), labelFlags, topLabel(i));
        if (hasMidMark(i, h)) {
            painter->drawText(QRect(lx, int(rect.y() + 0.5 * rect.height() - h / 2), labelWidth, h),
                              Qt::AlignCenter, QStringLiteral("|"));
        }
    }
    painter->restore();

    // Thickness title, read bottom to top, centred beside the plot.
    const int titleWidth = metrics.horizontalAdvance(m_yTitle);
    const int tx = (m_left - metrics.horizontalAdvance(QStringLiteral("0000.1"))) / 2 - h / 2;
    const int ty = titleWidth / 2 + (height() - m_bottom - m_top) / 2 + m_top;
    painter->save();
    painter->translate(tx, ty);
    painter->rotate(-90);
    painter->drawText(QRect(0, 0, titleWidth, h), Qt::AlignCenter, m_yTitle);
    painter->restore();

    // Count title, centred under the plot below the tick labels.
    const int xTitleWidth = metrics.horizontalAdvance(m_xTitle);
    const int x = m_left + (width() - m_left - m_right) / 2 - xTitleWidth / 2;
    const int y = height() - m_bottom + h + (m_bottom - h) / 2;
    painter->drawText(QRect(x, y, xTitleWidth, h), Qt::AlignCenter, m_xTitle);
}

void Histogram::drawMarkLines(QPainter *painter)
{
    painter->save();
    setPlotWindow(painter);
    const QFontMetrics metrics = painter->fontMetrics();
    for (const CoatingRequirement::Line &mark : qAsConst(m_markLines)) {
        const double y = valueY(mark.value);
        if (std::isnan(y))
            continue;
        const bool nominal = mark.kind == CoatingRequirement::Line::Nominal;
        const QColor color = nominal                                       ? QColor(0, 140, 0)
                             : mark.kind == CoatingRequirement::Line::Spot ? QColor(200, 110, 0)
                                                                           : QColor(200, 0, 0);
        const Qt::PenStyle style = nominal                                       ? Qt::SolidLine
                                   : mark.kind == CoatingRequirement::Line::Spot ? Qt::DashDotLine
                                                                                 : Qt::DashLine;
        painter->setPen(QPen(color, 1, style));
        painter->drawLine(QPointF(0, y), QPointF(m_plotRect.width(), y));
        const int w = metrics.horizontalAdvance(mark.label);
        painter->drawText(
            QRectF(m_plotRect.width() - w - 2, y - metrics.height(), w, metrics.height()),
            Qt::AlignRight | Qt::AlignBottom, mark.label);
    }
    painter->restore();
}

void Histogram::drawBars(QPainter *painter)
{
    painter->save();
    setPlotWindow(painter);
    for (HistogramBar *bar : qAsConst(m_bars))
        bar->draw(painter);
    painter->restore();
}
