#pragma once

#include <QColor>
#include <QRectF>
#include <QString>

class HistogramBin;
class QFontMetrics;
class QPainter;

// The drawn bar of one bin: an orange bar whose length is the bin's count, with the count written
// in blue inside the bar, or just past its end when the bar is too short for the text.
class HistogramBar
{
public:
    explicit HistogramBar(const HistogramBin *bin);

    const HistogramBin *bin() const { return m_bin; }
    // In plot coordinates: x to the right from the count axis, y downward, the plot above y = 0.
    QRectF rect() const { return m_rect; }
    void setRect(const QRectF &rect) { m_rect = rect; }
    // The colour last painted with; blue until the bar is drawn.
    QColor color() const { return m_color; }

    // The count followed by one blank.
    QString text() const;
    QRectF textRect(const QFontMetrics &metrics) const;

    void draw(QPainter *painter);

private:
    QRectF m_rect;
    const HistogramBin *m_bin;
    QColor m_color = Qt::blue;
};
