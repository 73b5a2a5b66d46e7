#pragma once

#include <QList>
#include <QMargins>
#include <QPair>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <QVector>
#include <QWidget>

#include "coatingrequirement.h"

class HistogramBar;
class HistogramBin;
class QPainter;

// Distribution of thickness values over a fixed table of intervals, one horizontal bar per
// interval stacked from the bottom up. The lowest and highest intervals are open-ended and
// labelled "-OL " and "OL ". An over-range value comes as an infinity and counts in one of these
// two whatever their bounds: +infinity ("OL") in the top bar, -infinity ("-OL") in the bottom
// one. The picture is composed in cached layers that are redrawn only after a change; pixmap()
// is what the exports save.
class Histogram : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(Histogram)

public:
    explicit Histogram(QWidget *parent = nullptr);
    ~Histogram() override;

    void addValue(double value);
    // Adds to the values already present; call clear() first to replace them.
    void addValues(const QList<double> &values);
    void clear();
    // Intervals (low, high] in bar order from the bottom. Rebuilds the bins from the current
    // values; repaints only with the next change.
    void setRanges(const QList<QPair<double, double>> &ranges);
    // Applies from the next resize on.
    void setMargins(const QMargins &margins);
    void setXTitle(const QString &title);
    void setYTitle(const QString &title);
    // Decimals of the interval labels.
    void setDecimals(int decimals);
    // Horizontal marks at a requirement's limits and nominal value, in the unit of the values.
    void setMarkLines(const QList<CoatingRequirement::Line> &lines);
    const QList<CoatingRequirement::Line> &markLines() const { return m_markLines; }
    // The thickness bands shown without limits: the open "-OL " interval up to 0, bands of a
    // round width of about a sixth of overRangeLimit from 0 on, the last of them up to the limit,
    // and the open "OL " interval above it. For 1250: 200 wide up to 1000, then 1000 to 1250.
    static QList<QPair<double, double>> standardRanges(double overRangeLimit);
    // Intervals laid out around limits from lowest to highest: the open "-OL " interval up to 0,
    // the values up to about half the lowest, ten equal intervals with round bounds from there
    // to one and a half times the highest or a little more, the values up to overRangeLimit and
    // the open "OL " interval above it.
    static QList<QPair<double, double>> rangesAround(double lowest, double highest,
                                                     double overRangeLimit);
    // Plot y (upward negative) where a value falls within the bars of the finite intervals,
    // interpolated inside its interval; NaN for a value in an open interval or none.
    double valueY(double value) const;

    // Null until the first paint or renderPixmap().
    const QPixmap &pixmap() const { return m_output; }
    // Brings the picture up to date with the values and the widget's current size, also while
    // the widget is hidden and has never been painted.
    void renderPixmap();
    bool savePixmap(const QString &fileName) const;

    // Bar lengths and positions from the counts and the plot size; run before every paint.
    void layoutBars();

    // The plot area, origin at its bottom-left corner, y downward.
    QRectF plotRect() const { return m_plotRect; }
    int maxCount() const { return m_maxCount; }
    double pxPerCount() const { return m_pxPerCount; }
    int labelStep() const { return m_labelStep; }
    int intervalCount() const { return m_intervalCount; }
    double slotHeight() const { return m_slotHeight; }

    int barCount() const { return m_bars.size(); }
    const HistogramBar *bar(int index) const { return m_bars.at(index); }
    int count(int bin) const;
    QString xTitle() const { return m_xTitle; }
    QString yTitle() const { return m_yTitle; }
    int decimals() const { return m_decimals; }

    // The interval texts written at a bar's bottom and top edge.
    QString bottomLabel(int bar) const;
    QString topLabel(int bar) const;
    // An inner bar at least three text lines high carries a "|" between its two labels.
    bool hasMidMark(int bar, int lineHeight) const;

    // Ticks on the count axis, one every labelStep counts from 0 on, as many as fit.
    int countTickCount() const;
    int countTickX(int tick) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void rebin();
    // Counts the infinities from values[first] on in the end bins.
    void countOverRange(int first);
    // The plot area for the widget's size; a hidden widget gets no resize events.
    void layoutPlot(const QSize &size);
    void changed();
    void setPlotWindow(QPainter *painter) const;
    double countTickStep() const;
    void drawAxes(QPainter *painter);
    void drawBars(QPainter *painter);
    void drawMarkLines(QPainter *painter);

    int m_left = 20;
    int m_top = 20;
    int m_right = 20;
    int m_bottom = 20;
    QRectF m_plotRect;
    QSize m_layoutSize; // the widget size m_plotRect was made for
    QList<QPair<double, double>> m_ranges;
    QVector<double> m_values;
    QList<HistogramBin *> m_bins;
    QList<HistogramBar *> m_bars;
    bool m_dirty = true;
    QPixmap m_axesLayer;
    QPixmap m_barsLayer;
    QPixmap m_output;
    int m_maxCount = 0;
    double m_pxPerCount = 0.0;
    int m_labelStep = 0;
    int m_intervalCount = 0;
    double m_slotHeight = 0.0;
    QString m_xTitle;
    QString m_yTitle;
    int m_decimals = 1;
    QList<CoatingRequirement::Line> m_markLines;
};
