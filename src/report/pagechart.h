#pragma once

#include <QColor>
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

// An item's readings in order drawn for a page, in vector form. Many readings are thinned to the
// smallest and largest value of each column of about a printer's dot, which looks the same and
// keeps the page small whatever the count. Over-range readings are ticks on the top ("OL") or
// bottom ("-OL") edge; the requirement's limits are lines. Geometry on construction, drawing in
// paint().
class PageChart
{
public:
    // The columns a chart of that plot width (in device units at dpi) is thinned to.
    static int columnsFor(qreal plotWidth, int dpi);
    // A round step for about `ticks` intervals over span: 1, 2 or 5 times a power of ten.
    static double tickStep(double span, int ticks);
    // Limits red, the nominal value green, spot limits amber, as in the window's views.
    static QColor markColor(CoatingRequirement::Line::Kind kind);

    PageChart(const ItemData &item, const QRectF &box, const QFont &font, QPaintDevice *device);

    QRectF plotRect() const { return m_plot; }
    double yMin() const { return m_yMin; }
    double yMax() const { return m_yMax; }
    // The points drawn: every reading's, or each column's low and high in turn. NaN-free.
    const QVector<QPointF> &points() const { return m_points; }
    qreal xOf(double index) const;
    qreal yOf(double value) const;

    void paint(QPainter &painter) const;

private:
    void thin(const QVector<double> &values, int columns);

    QRectF m_box;
    QRectF m_plot;
    QFont m_font;
    QString m_title;
    QList<CoatingRequirement::Line> m_lines;
    int m_count = 0;
    int m_decimals = 1;
    double m_yMin = 0.0;
    double m_yMax = 1.0;
    QVector<QPointF> m_points;
    QVector<qreal> m_overAbove;
    QVector<qreal> m_overBelow;
};
