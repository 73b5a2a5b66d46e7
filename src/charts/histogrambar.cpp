#include "histogrambar.h"

#include <QBrush>
#include <QFontMetrics>
#include <QPainter>

#include "histogrambin.h"

HistogramBar::HistogramBar(const HistogramBin *bin)
    : m_bin(bin)
{
}

QString HistogramBar::text() const
{
    return QStringLiteral("%1 ").arg(m_bin->count(), 0, 10, QLatin1Char(' '));
}

QRectF HistogramBar::textRect(const QFontMetrics &metrics) const
{
    const int textWidth = metrics.horizontalAdvance(text());
    if (m_rect.width() >= textWidth)
        return m_rect;
    // Too short for its count: the text box starts half a blank past the bar's end.
    const int shift = metrics.horizontalAdvance(QLatin1Char(' ')) / 2;
    return m_rect.adjusted(m_rect.width() + shift, 0, textWidth + m_rect.width() + shift, 0);
}

void HistogramBar::draw(QPainter *painter)
{
    painter->save();
    m_color = QColor(250, 150, 0, 255);
    painter->setPen(QColor(Qt::transparent));
    painter->setBrush(QBrush(m_color, Qt::SolidPattern));
    painter->drawRect(m_rect);

    m_color = QColor(0, 100, 250, 255);
    painter->setPen(m_color);
    painter->drawText(textRect(painter->fontMetrics()), Qt::AlignCenter, text());
    painter->restore();
}
