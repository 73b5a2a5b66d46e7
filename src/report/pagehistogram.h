#pragma once

#include <QFont>
#include <QList>
#include <QPair>
#include <QRectF>
#include <QString>
#include <QVector>

#include "coatingrequirement.h"

class ItemData;
class QPaintDevice;
class QPainter;

// An item's histogram drawn for a page, in vector form: one horizontal bar per thickness band,
// stacked from the bottom up, with the bands the window's histogram uses (the standard bands, or
// bands laid out around the requirement's limits), the count at each bar's end and the limits as
// lines. The geometry is computed on construction; paint() only draws it.
class PageHistogram
{
public:
    PageHistogram(const ItemData &item, const QRectF &box, const QFont &font, QPaintDevice *device);

    // The bands of the item as the window shows them, in the item's unit.
    static QList<QPair<double, double>> bandsOf(const ItemData &item);
    // Counts per band; an over-range value counts in the open band at its end.
    static QVector<int> count(const ItemData &item, const QList<QPair<double, double>> &bands);

    QRectF plotRect() const { return m_plot; }
    int barCount() const { return m_counts.size(); }
    QRectF barRect(int bar) const;
    QString bandLabel(int bar) const;
    int countOf(int bar) const { return m_counts.at(bar); }
    // The vertical position of a value within the finite bands; NaN in the open ones.
    double valueY(double value) const;

    void paint(QPainter &painter) const;

private:
    QList<QPair<double, double>> m_bands;
    QVector<int> m_counts;
    QList<CoatingRequirement::Line> m_lines;
    QRectF m_box;
    QRectF m_plot;
    QFont m_font;
    QString m_title;
    int m_decimals = 1;
    int m_maxCount = 1;
    qreal m_countWidth = 0;
};
