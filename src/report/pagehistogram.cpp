#include "pagehistogram.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPainter>

#include "dmmdata.h"
#include "histogram.h"
#include "itemdata.h"
#include "pagechart.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PageHistogram", text);
}

} // namespace

PageHistogram::PageHistogram(const ItemData &item, const QRectF &box, const QFont &font,
                             QPaintDevice *device)
    : m_bands(bandsOf(item))
    , m_counts(count(item, m_bands))
    , m_lines(item.requirement().linesIn(item.unit()))
    , m_box(box)
    , m_font(font)
    , m_decimals(item.isMicrometre() ? 1 : 2)
{
    m_title = tr("Thickness (%1)").arg(item.unit());
    const QFontMetricsF metrics(font, device);
    const qreal line = metrics.height();
    qreal labelWidth = 0;
    for (int i = 0; i < m_bands.size(); ++i)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(bandLabel(i)));
    m_countWidth = metrics.horizontalAdvance(QStringLiteral("0000000"));
    qreal markWidth = 0;
    for (const CoatingRequirement::Line &mark : qAsConst(m_lines))
        markWidth = std::max(markWidth, metrics.horizontalAdvance(mark.label) + line / 2);
    // Title above, the band labels on the left; on the right the longest bar's count, then the
    // limits' names, which would otherwise cover the counts.
    m_plot = QRectF(box.left() + labelWidth + line / 2, box.top() + 1.5 * line,
                    std::max(0.0, box.width() - labelWidth - line / 2 - m_countWidth - markWidth),
                    std::max(0.0, box.height() - 1.5 * line));
    for (int count : qAsConst(m_counts))
        m_maxCount = std::max(m_maxCount, count);
}

QList<QPair<double, double>> PageHistogram::bandsOf(const ItemData &item)
{
    const QList<CoatingRequirement::Line> lines = item.requirement().linesIn(item.unit());
    if (lines.isEmpty())
        return Histogram::standardRanges(item.rangeUm());
    const auto [lowest, highest] =
        std::minmax_element(lines.cbegin(), lines.cend(),
                            [](const auto &a, const auto &b) { return a.value < b.value; });
    return Histogram::rangesAround(lowest->value, highest->value, item.rangeUm());
}

QVector<int> PageHistogram::count(const ItemData &item, const QList<QPair<double, double>> &bands)
{
    QVector<int> counts(bands.size(), 0);
    if (bands.isEmpty())
        return counts;
    // The bands follow each other: the upper bounds are sorted.
    std::vector<double> uppers;
    for (const auto &band : bands)
        uppers.push_back(band.second);
    const bool micrometre = item.isMicrometre();
    const QList<DmmData *> readings = item.readings();
    for (const DmmData *reading : readings) {
        const double value = ItemData::valueOf(reading, micrometre);
        if (std::isnan(value))
            continue;
        if (value == std::numeric_limits<double>::infinity()) {
            ++counts.last();
        } else if (value == -std::numeric_limits<double>::infinity()) {
            ++counts.first();
        } else {
            // low < value <= high: the first band whose upper bound is at least the value.
            const auto it = std::lower_bound(uppers.begin(), uppers.end(), value);
            ++counts[it == uppers.end() ? counts.size() - 1 : int(it - uppers.begin())];
        }
    }
    return counts;
}

QRectF PageHistogram::barRect(int bar) const
{
    const qreal slot = m_plot.height() / std::max(1, m_counts.size());
    const qreal length = m_plot.width() * m_counts.at(bar) / m_maxCount;
    const qreal bottom = m_plot.bottom() - bar * slot;
    return QRectF(m_plot.left(), bottom - 0.9 * slot, length, 0.8 * slot);
}

QString PageHistogram::bandLabel(int bar) const
{
    if (bar == 0)
        return tr("-OL");
    if (bar == m_bands.size() - 1)
        return tr("OL");
    const QPair<double, double> &band = m_bands.at(bar);
    return QStringLiteral("%1 - %2").arg(QString::number(band.first, 'f', m_decimals),
                                         QString::number(band.second, 'f', m_decimals));
}

double PageHistogram::valueY(double value) const
{
    const qreal slot = m_plot.height() / std::max(1, m_counts.size());
    for (int i = 1; i + 1 < m_bands.size(); ++i) {
        const QPair<double, double> &band = m_bands.at(i);
        if (band.first <= value && value <= band.second && band.second > band.first)
            return m_plot.bottom() - (i + (value - band.first) / (band.second - band.first)) * slot;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

void PageHistogram::paint(QPainter &painter) const
{
    painter.save();
    painter.setFont(m_font);
    const QFontMetricsF metrics(m_font, painter.device());
    const qreal line = metrics.height();
    painter.setPen(Qt::black);
    painter.drawText(QRectF(m_box.left(), m_box.top(), m_box.width(), line),
                     Qt::AlignLeft | Qt::AlignVCenter, m_title);

    QPen axis(Qt::black);
    axis.setWidthF(line / 15);
    painter.setPen(axis);
    painter.drawLine(m_plot.bottomLeft(), m_plot.topLeft());
    painter.drawLine(m_plot.bottomLeft(), m_plot.bottomRight());

    for (int i = 0; i < m_counts.size(); ++i) {
        const QRectF bar = barRect(i);
        const bool open = i == 0 || i == m_counts.size() - 1;
        if (m_counts.at(i) > 0)
            painter.fillRect(bar, open ? QColor(150, 150, 150) : QColor(70, 110, 180));
        painter.setPen(Qt::black);
        painter.drawText(
            QRectF(m_box.left(), bar.top(), m_plot.left() - m_box.left() - line / 4, bar.height()),
            Qt::AlignRight | Qt::AlignVCenter, bandLabel(i));
        painter.drawText(
            QRectF(bar.right() + line / 4, bar.top(), m_box.right() - bar.right(), bar.height()),
            Qt::AlignLeft | Qt::AlignVCenter, QString::number(m_counts.at(i)));
    }

    for (const CoatingRequirement::Line &mark : m_lines) {
        const double y = valueY(mark.value);
        if (std::isnan(y))
            continue;
        QPen pen(PageChart::markColor(mark.kind), line / 12,
                 mark.kind == CoatingRequirement::Line::Nominal ? Qt::SolidLine : Qt::DashLine);
        painter.setPen(pen);
        painter.drawLine(QPointF(m_plot.left(), y), QPointF(m_plot.right(), y));
        const qreal labelLeft = m_plot.right() + m_countWidth;
        painter.drawText(QRectF(labelLeft, y - line / 2, m_box.right() - labelLeft, line),
                         Qt::AlignRight | Qt::AlignVCenter, mark.label);
    }
    painter.restore();
}
