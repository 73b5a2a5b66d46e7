#include "pagechart.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>

#include "dmmdata.h"
#include "itemdata.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PageChart", text);
}

// Columns of about this size in inches: finer than the eye sees on paper.
constexpr double ColumnInches = 1.0 / 150;

} // namespace

int PageChart::columnsFor(qreal plotWidth, int dpi)
{
    return std::max(1, int(plotWidth / (dpi * ColumnInches)));
}

double PageChart::tickStep(double span, int ticks)
{
    if (!(span > 0) || ticks < 1)
        return 1.0;
    const double raw = span / ticks;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (double mantissa : {1.0, 2.0, 5.0})
        if (mantissa * decade >= raw)
            return mantissa * decade;
    return 10.0 * decade;
}

QColor PageChart::markColor(CoatingRequirement::Line::Kind kind)
{
    switch (kind) {
    case CoatingRequirement::Line::Nominal:
        return QColor(0, 140, 0);
    case CoatingRequirement::Line::Spot:
        return QColor(200, 110, 0);
    case CoatingRequirement::Line::Limit:
        break;
    }
    return QColor(200, 0, 0);
}

PageChart::PageChart(const ItemData &item, const QRectF &box, const QFont &font,
                     QPaintDevice *device)
    : m_box(box)
    , m_font(font)
    , m_lines(item.requirement().linesIn(item.unit()))
    , m_decimals(item.isMicrometre() ? 0 : 2)
{
    m_title = tr("Thickness (%1) by reading").arg(item.unit());
    const bool micrometre = item.isMicrometre();
    const QList<DmmData *> readings = item.readings();
    m_count = readings.size();
    QVector<double> values;
    values.reserve(m_count);
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const DmmData *reading : readings) {
        const double value = ItemData::valueOf(reading, micrometre);
        values.append(value);
        if (std::isfinite(value)) {
            low = std::min(low, value);
            high = std::max(high, value);
        }
    }
    for (const CoatingRequirement::Line &line : qAsConst(m_lines)) {
        low = std::min(low, line.value);
        high = std::max(high, line.value);
    }
    if (low > high) {
        low = 0.0;
        high = 1.0;
    }
    // A little room above and below, and a span even for equal values.
    const double pad = std::max((high - low) * 0.08, std::max(std::abs(high) * 0.05, 1e-3));
    const double step = tickStep(high - low + 2 * pad, 5);
    m_yMin = std::floor((low - pad) / step) * step;
    m_yMax = std::ceil((high + pad) / step) * step;

    const QFontMetricsF metrics(font, device);
    const qreal line = metrics.height();
    const qreal labelWidth = metrics.horizontalAdvance(QString::number(
                                 -std::max(std::abs(m_yMin), std::abs(m_yMax)), 'f', m_decimals)) +
                             line / 2;
    m_plot = QRectF(box.left() + labelWidth, box.top() + 1.5 * line,
                    std::max(0.0, box.width() - labelWidth - line),
                    std::max(0.0, box.height() - 3.5 * line));
    thin(values, columnsFor(m_plot.width(), device->logicalDpiX()));
}

void PageChart::thin(const QVector<double> &values, int columns)
{
    const int n = values.size();
    if (n <= 2 * columns) {
        for (int i = 0; i < n; ++i) {
            const double value = values.at(i);
            if (std::isfinite(value))
                m_points.append(QPointF(xOf(i), yOf(value)));
            else if (!std::isnan(value))
                (value > 0 ? m_overAbove : m_overBelow).append(xOf(i));
        }
        return;
    }
    for (int c = 0; c < columns; ++c) {
        const int first = int(qint64(n) * c / columns);
        const int end = int(qint64(n) * (c + 1) / columns);
        double low = std::numeric_limits<double>::infinity();
        double high = -low;
        bool above = false;
        bool below = false;
        for (int i = first; i < end; ++i) {
            const double value = values.at(i);
            if (std::isfinite(value)) {
                low = std::min(low, value);
                high = std::max(high, value);
            } else if (!std::isnan(value)) {
                (value > 0 ? above : below) = true;
            }
        }
        const qreal x = xOf((first + end - 1) / 2.0);
        if (low <= high) {
            m_points.append(QPointF(x, yOf(low)));
            m_points.append(QPointF(x, yOf(high)));
        }
        if (above)
            m_overAbove.append(x);
        if (below)
            m_overBelow.append(x);
    }
}

qreal PageChart::xOf(double index) const
{
    return m_count > 1 ? m_plot.left() + m_plot.width() * index / (m_count - 1)
                       : m_plot.center().x();
}

qreal PageChart::yOf(double value) const
{
    return m_plot.bottom() - m_plot.height() * (value - m_yMin) / (m_yMax - m_yMin);
}

void PageChart::paint(QPainter &painter) const
{
    painter.save();
    painter.setFont(m_font);
    const QFontMetricsF metrics(m_font, painter.device());
    const qreal line = metrics.height();
    painter.setPen(Qt::black);
    painter.drawText(QRectF(m_box.left(), m_box.top(), m_box.width(), line),
                     Qt::AlignLeft | Qt::AlignVCenter, m_title);

    QPen grid(QColor(210, 210, 210));
    grid.setWidthF(line / 20);
    QPen axis(Qt::black);
    axis.setWidthF(line / 15);
    const double step = tickStep(m_yMax - m_yMin, 5);
    for (double v = m_yMin; v <= m_yMax + step / 2; v += step) {
        const qreal y = yOf(v);
        painter.setPen(grid);
        painter.drawLine(QPointF(m_plot.left(), y), QPointF(m_plot.right(), y));
        painter.setPen(Qt::black);
        painter.drawText(
            QRectF(m_box.left(), y - line / 2, m_plot.left() - m_box.left() - line / 4, line),
            Qt::AlignRight | Qt::AlignVCenter, QString::number(v, 'f', m_decimals));
    }
    if (m_count > 0) {
        const double xStep = std::max(1.0, std::round(tickStep(m_count, 6)));
        for (double i = 0; i < m_count; i += xStep) {
            const qreal x = xOf(i);
            painter.setPen(axis);
            painter.drawLine(QPointF(x, m_plot.bottom()), QPointF(x, m_plot.bottom() + line / 4));
            painter.drawText(QRectF(x - 3 * line, m_plot.bottom() + line / 4, 6 * line, line),
                             Qt::AlignHCenter | Qt::AlignTop, QString::number(qint64(i) + 1));
        }
    }
    painter.setPen(Qt::black);
    painter.drawText(QRectF(m_plot.left(), m_box.bottom() - line, m_plot.width(), line),
                     Qt::AlignHCenter | Qt::AlignVCenter, tr("Reading No."));
    painter.setPen(axis);
    painter.drawRect(m_plot);

    for (const CoatingRequirement::Line &mark : m_lines) {
        painter.setPen(
            QPen(markColor(mark.kind), line / 12,
                 mark.kind == CoatingRequirement::Line::Nominal ? Qt::SolidLine : Qt::DashLine));
        const qreal y = yOf(mark.value);
        painter.drawLine(QPointF(m_plot.left(), y), QPointF(m_plot.right(), y));
        painter.drawText(QRectF(m_plot.left(), y - line, m_plot.width() - line / 4, line),
                         Qt::AlignRight | Qt::AlignBottom, mark.label);
    }

    QPen trace(QColor(230, 120, 0));
    trace.setWidthF(line / 15);
    painter.setPen(trace);
    painter.drawPolyline(m_points.constData(), m_points.size());
    if (m_points.size() == 1)
        painter.drawEllipse(m_points.first(), line / 8, line / 8);

    QPen over(QColor(220, 0, 0));
    over.setWidthF(line / 12);
    painter.setPen(over);
    for (qreal x : m_overAbove)
        painter.drawLine(QPointF(x, m_plot.top()), QPointF(x, m_plot.top() + line / 2));
    for (qreal x : m_overBelow)
        painter.drawLine(QPointF(x, m_plot.bottom()), QPointF(x, m_plot.bottom() - line / 2));
    painter.restore();
}
