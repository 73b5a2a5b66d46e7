// Prints what the time chart costs when a reading arrives (addPoint and a full recomposition)
// and when the mouse hovers (only the cursor layer is recomposed), for items of growing size.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QWindow>

#include "charts/chartpoint.h"
#include "charts/dmmchart.h"

namespace {

struct Figures
{
    double median;
    double p90;
    double worst;
};

// Median and 90th percentile next to the worst: on a busy machine the worst case mostly measures
// the scheduler.
Figures summarise(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms.at(ms.size() / 2), ms.at(ms.size() * 9 / 10), ms.back()};
}

// A thickness that wanders like a hand moving the probe over a coated part.
QList<ChartPoint *> readings(int first, int count, const QDateTime &start, std::mt19937 &random)
{
    std::normal_distribution<double> noise(0.0, 3.0);
    QList<ChartPoint *> points;
    points.reserve(count);
    for (int i = 0; i < count; ++i) {
        const double value = 120.0 + 25.0 * std::sin(i / 5000.0) + noise(random);
        // UTC: local times would ask the time-zone database for every reading and make the
        // set-up, not the chart, the slow part.
        const int second = start.time().msecsSinceStartOfDay() / 1000 + first + i;
        const QDateTime time(start.date().addDays(second / 86400),
                             QTime::fromMSecsSinceStartOfDay(second % 86400 * 1000), Qt::UTC);
        points.append(new ChartPoint(value, QString::number(value, 'f', 1), time, -1, -1,
                                     QStringLiteral("%1μm Fe").arg(value, 0, 'f', 1)));
    }
    return points;
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

    std::printf("time chart 1000 x 600, times in ms: median / 90th percentile / worst\n");
    std::printf("%10s  %26s  %26s\n", "points", "new reading", "hover repaint");
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
        chart.addPoints(readings(0, count, start, random), 0);
        chart.repaint();

        const int rounds = count >= 1000000 ? 10 : 30;
        std::vector<double> arrival;
        for (int i = 0; i < rounds; ++i) {
            const QList<ChartPoint *> next = readings(count + i, 1, start, random);
            QElapsedTimer timer;
            timer.start();
            chart.addPoint(next.first(), 0);
            chart.repaint();
            arrival.push_back(timer.nsecsElapsed() / 1e6);
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
        const Figures h = summarise(hovering);
        std::printf("%10d  %7.2f / %7.2f / %7.2f  %7.2f / %7.2f / %7.2f\n", count, a.median, a.p90,
                    a.worst, h.median, h.p90, h.worst);
    }
    return 0;
}
