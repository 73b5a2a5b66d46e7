#include "chartline.h"

#include <algorithm>
#include <cmath>

#include "charts/chartpoint.h"
#include "charts/dmmchart.h"

ChartLine::ChartLine(DMMChart *chart)
    : m_color(250, 150, 0, 255)
    , m_chart(chart)
{
}

ChartLine::~ChartLine()
{
    qDeleteAll(m_points);
}

void ChartLine::addPoint(ChartPoint *point)
{
    if (point) {
        m_points.append(point);
        m_values.append(point->value);
    }
}

void ChartLine::addPoints(const QList<ChartPoint *> &points)
{
    m_points.reserve(m_points.size() + points.size());
    m_values.reserve(m_values.size() + points.size());
    for (ChartPoint *point : points)
        addPoint(point);
}

void ChartLine::clear()
{
    qDeleteAll(m_points);
    m_points.clear();
    m_values.clear();
    m_pixelPoints.clear();
}

void ChartLine::setScales(double xScale, double yScale)
{
    m_xScale = xScale;
    m_yScale = yScale;
}

void ChartLine::updateRange()
{
    m_min = 0.0;
    m_max = 0.0;
    const int last = std::min(m_chart->lastIndex(), m_points.size() - 1);
    for (int i = m_chart->firstIndex(); i <= last; ++i) {
        // Written as comparisons so that a NaN value widens nothing; an over-range value (an
        // infinity) is no thickness and does not scale the axis.
        const double value = m_values.at(i);
        if (std::isinf(value))
            continue;
        if (value > m_max)
            m_max = value;
        if (value < m_min)
            m_min = value;
    }
}

void ChartLine::updatePixelPoints()
{
    const int first = m_chart->firstIndex();
    const int last = std::min(m_chart->lastIndex(), m_points.size() - 1);
    m_pixelPoints.resize(std::max(0, last - first + 1));
    QPoint *pixel = m_pixelPoints.data();
    for (int k = 0; k <= last - first; ++k)
        pixel[k] = QPoint(DMMChart::truncPixel(k * m_xScale + 0.5), 0);
}
