// Prints what the histogram costs with 1,000, 100,000 and 1,000,000 values: loading an item's
// values, adding one value, adding one value and repainting, and a repaint without a change.

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include "histogram.h"

namespace {
QList<QPair<double, double>> thicknessRanges()
{
    return {{std::numeric_limits<double>::lowest(), 0},
            {0, 200},
            {200, 400},
            {400, 600},
            {600, 800},
            {800, 1000},
            {1000, 1250},
            {1250, std::numeric_limits<double>::max()}};
}

// Resident memory in MiB where the system reports it (Linux), otherwise -1.
double residentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return -1;
}

double elapsedMs(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

void measure(int valueCount, QRandomGenerator &random)
{
    QList<double> values;
    values.reserve(valueCount);
    for (int i = 0; i < valueCount; ++i)
        values.append(random.bounded(2000.0));

    Histogram histogram;
    histogram.setMargins(QMargins(100, 20, 20, 50));
    histogram.setRanges(thicknessRanges());
    histogram.setXTitle(QStringLiteral("Rate"));
    histogram.setYTitle(QStringLiteral("Thickness(\u03BCm)"));
    histogram.resize(860, 500);
    histogram.show();
    QApplication::processEvents();

    const double memoryBefore = residentMiB();
    QElapsedTimer timer;
    timer.start();
    histogram.addValues(values);
    const double loadMs = elapsedMs(timer);
    const double memoryAfter = residentMiB();

    histogram.repaint();
    if (histogram.pixmap().isNull()) {
        std::fprintf(stderr, "the histogram was not painted\n");
        return;
    }

    const int adds = 10000;
    timer.restart();
    for (int i = 0; i < adds; ++i)
        histogram.addValue(random.bounded(2000.0));
    const double addUs = elapsedMs(timer) * 1000 / adds;

    // Median and worst of single events: a reading arriving, and an expose without a change.
    const int paints = 101;
    std::vector<double> addAndRepaint;
    std::vector<double> cachedRepaint;
    for (int i = 0; i < paints; ++i) {
        timer.restart();
        histogram.addValue(random.bounded(2000.0));
        histogram.repaint();
        addAndRepaint.push_back(elapsedMs(timer));
        timer.restart();
        histogram.repaint();
        cachedRepaint.push_back(elapsedMs(timer));
    }
    std::sort(addAndRepaint.begin(), addAndRepaint.end());
    std::sort(cachedRepaint.begin(), cachedRepaint.end());

    timer.restart();
    histogram.clear();
    histogram.addValues(values);
    const double reloadMs = elapsedMs(timer);

    std::printf(
        "%9d values: addValues %8.3f ms, clear + addValues %8.3f ms, memory +%.1f MiB\n"
        "                 addValue %.3f us; addValue + repaint median %.3f ms, worst %.3f ms;"
        " repaint unchanged median %.3f ms\n",
        valueCount, loadMs, reloadMs, memoryAfter - memoryBefore, addUs, addAndRepaint[paints / 2],
        addAndRepaint.back(), cachedRepaint[paints / 2]);
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QRandomGenerator random(6814);
    std::printf("Histogram 860 x 500 pixels, eight thickness intervals, values 0 to 2000\n");
    for (const int valueCount : {1000, 100000, 1000000})
        measure(valueCount, random);
    return 0;
}
