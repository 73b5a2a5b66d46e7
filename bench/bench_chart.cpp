// Prints what the time chart costs when a reading arrives (addPoint and a recomposition of the
// picture) and when the mouse hovers (only the cursor layer is recomposed), for items of growing
// size. Beside it, the cost of drawing the line the way the chart did before it kept per-block
// extremes: every point laid out and thinned per pixel column, then stroked, and whether both
// ways give the same pixels.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "benchsupport.h"
#include "chartline.h"
#include "chartpoint.h"
#include "common/columnenvelope.h"
#include "dmmchart.h"
#include "polylinestamps.h"

namespace {

using bench::Figures;
using bench::summarise;

// A thickness that wanders like a hand moving the probe over a coated part.
QList<ChartPoint *> readings(int first, int count, const QDateTime &start, std::mt19937 &random)
{
    std::normal_distribution<double> noise(0.0, 3.0);
    QList<ChartPoint *> points;
    points.reserve(count);
    for (int i = 0; i < count; ++i) {
        // One reading in 50 beyond the range, as the simulated gauge sends them.
        const double value = (first + i) % 50 == 49
                                 ? std::numeric_limits<double>::infinity()
                                 : 120.0 + 25.0 * std::sin(i / 5000.0) + noise(random);
        // UTC: local times would ask the time-zone database for every reading and make the
        // set-up, not the chart, the slow part.
        const int second = start.time().msecsSinceStartOfDay() / 1000 + first + i;
        const QDateTime time(start.date().addDays(second / 86400),
                             QTime::fromMSecsSinceStartOfDay(second % 86400 * 1000), Qt::UTC);
        points.append(new ChartPoint(value, time, QStringLiteral("%1μm Fe").arg(value, 0, 'f', 1)));
    }
    return points;
}

// The line drawn from every point: the in-range points laid out vertex by vertex (a polyline per
// stretch where over-range points break the line) and thinned with columnEnvelope(), as the
// chart drew it before.
QImage strokeEveryPoint(const DMMChart &chart, const QSize &size, bool thin)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(chart.line(0)->color(), 1));
    const QVector<double> &values = chart.line(0)->values();
    const int first = chart.firstIndex();
    const int end = std::min(chart.lastIndex() + 1, int(values.size()));
    QPolygon run;
    const auto flush = [&]() {
        if (run.size() == 1)
            painter.drawPoint(run.first());
        else if (!run.isEmpty())
            painter.drawPolyline(thin ? charttest::columnEnvelope(run) : run);
        run.clear();
    };
    const bool breaks = ChartLine::breaksAtIrregular(chart.xScale());
    for (int i = first; i < end; ++i) {
        if (!std::isfinite(values.at(i))) {
            if (breaks)
                flush();
            continue;
        }
        run.append(QPoint(DMMChart::truncPixel((i - first) * chart.xScale() + chart.plotRect().x()),
                          DMMChart::truncPixel(chart.baselineY() - chart.yScale() * values.at(i))));
    }
    flush();
    return image;
}

// The same line as the chart draws it now, from the line's per-block extremes, crowded columns
// filled as spans, short polylines set from stamps.
QImage strokeEnvelope(const DMMChart &chart, const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    const QColor color = chart.line(0)->color();
    painter.setPen(QPen(color, 1));
    const int end = std::min(chart.lastIndex() + 1, chart.pointCount());
    PolylineStamps stamps;
    chart.line(0)->envelope(
        chart.firstIndex(), end - 1,
        ChartLine::PixelMap{chart.xScale(), chart.plotRect().x(), chart.baselineY(),
                            chart.yScale()},
        [&](const QPolygon &polyline) {
            if (polyline.size() == 1)
                painter.drawPoint(polyline.first());
            else if (!stamps.draw(&image, polyline, color.rgb()))
                painter.drawPolyline(polyline);
        },
        [&painter, &color](int x, int top, int bottom) {
            painter.fillRect(x, top, 1, bottom - top + 1, color);
        });
    return image;
}

void hover(DMMChart *chart, const QPoint &pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, chart->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(chart, &move);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::printf("time chart 1000 x 600, one reading in 50 over range, times in ms: median / 90th "
                "percentile / worst\n");
    std::printf("%10s  %26s  %26s  %26s\n", "points", "new reading: addPoint+paint",
                "of it: redraw", "hover repaint");
    std::printf("%10s  %26s  %26s  %s\n", "", "before: every point laid out",
                "before: thinned+stroke", "same pixels as every point");
    const QDateTime start(QDate(2024, 3, 1), QTime(8, 0, 0));
    for (int count : {1000, 100000, 1000000}) {
        std::mt19937 random(6814);
        DMMChart chart;
        chart.setLeftMargin(70);
        chart.setBottomMargin(50);
        chart.setXTitle(QStringLiteral("Time"));
        chart.setYTitle(QStringLiteral("Thickness(μm)"));
        chart.resize(1000, 600);
        chart.show();
        // repaint() paints nothing until the window system has exposed the window.
        while (!chart.windowHandle() || !chart.windowHandle()->isExposed())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        chart.addPoints(readings(0, count, start, random));
        chart.repaint();

        const int rounds = count >= 1000000 ? 20 : 30;
        std::vector<double> arrival;
        std::vector<double> redraw;
        for (int i = 0; i < rounds; ++i) {
            const QList<ChartPoint *> next = readings(count + i, 1, start, random);
            QElapsedTimer timer;
            timer.start();
            chart.addPoint(next.first());
            QElapsedTimer render;
            render.start();
            chart.renderPixmap();
            redraw.push_back(render.nsecsElapsed() / 1e6);
            chart.repaint();
            arrival.push_back(timer.nsecsElapsed() / 1e6);
        }

        std::vector<double> layOut;
        std::vector<double> thinned;
        bool same = true;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer timer;
            timer.start();
            const QImage every = strokeEveryPoint(chart, chart.size(), false);
            layOut.push_back(timer.nsecsElapsed() / 1e6);
            timer.start();
            const QImage thin = strokeEveryPoint(chart, chart.size(), true);
            thinned.push_back(timer.nsecsElapsed() / 1e6);
            if (i == 0)
                same = every == thin && thin == strokeEnvelope(chart, chart.size());
        }

        std::vector<double> hovering;
        for (int i = 0; i < 200; ++i) {
            // Every move lands on another reading, so every one redraws the cursor.
            const QPoint pos(100 + (i % 2) * 400 + i * 2, 300);
            QElapsedTimer timer;
            timer.start();
            hover(&chart, pos);
            chart.repaint();
            hovering.push_back(timer.nsecsElapsed() / 1e6);
        }

        const Figures a = summarise(arrival);
        const Figures r = summarise(redraw);
        const Figures h = summarise(hovering);
        const Figures e = summarise(layOut);
        const Figures t = summarise(thinned);
        std::printf("%10d  %7.2f / %7.2f / %7.2f  %7.2f / %7.2f / %7.2f  %7.2f / %7.2f / %7.2f\n",
                    count, a.median, a.p90, a.worst, r.median, r.p90, r.worst, h.median, h.p90,
                    h.worst);
        std::printf("%10s  %7.2f / %7.2f / %7.2f  %7.2f / %7.2f / %7.2f  %s\n", "", e.median, e.p90,
                    e.worst, t.median, t.p90, t.worst, same ? "yes" : "NO");
    }
    return 0;
}
