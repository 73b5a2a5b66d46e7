// Prints what the main window costs with the simulated gauge at full speed: downloads of the
// gauge's memory with the Chart tab shown, and live readings into an item that already holds a
// large number of them, each timed from the gauge's emission until the window has painted it,
// without and then with a requirement that judges every reading.
// After each part the views are compared with a full reload of the same item, which is what the
// user would see on reactivating it: incremental updates must end in the same picture.
//
// Then, for an item of the large size, the share of each view in one live reading and the bytes
// each structure holds per reading, measured on the same classes outside the window; beside the
// chart's redraw the cost of drawing every point as the chart did before it kept per-block
// extremes. The process's memory is printed after each download and at the end.
// The window part runs twice in the same process, with the workspace store off (the workspace is
// held by the benchmark itself, so the window keeps everything in memory) and on (a new
// workspace). Last, the start-up with a workspace of ten items of the large size is timed in a
// child process, up to the painted window, with the process's resident memory afterwards.
//
// With --large it prints instead, for an item of the given size (1,000,000 by default), three runs
// each: the start-up with that item active until the window is usable and until its views are
// complete; the activation of the stored item (the time until the window answers, the longest
// turn of the event loop and the time until the views are complete); its deletion (the longest
// turn); its download with the workspace off and on; and a download into Store Data holding that
// many readings not yet read, cancelled at once and the earlier readings restored.
//
// Usage: bench_download [smallDownload largeDownload [liveReadings [startupItems]]]
//        bench_download --large [readings]

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QItemSelectionModel>
#include <QFile>
#include <QLabel>
#include <QLockFile>
#include <QMessageBox>
#include <QPushButton>
#include <QPainter>
#include <QPluginLoader>
#include <QProcess>
#include <QScrollBar>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

#include "benchsupport.h"
#include "chartline.h"
#include "chartpoint.h"
#include "coatingrequirement.h"
#include "common/columnenvelope.h"
#include "datamodel.h"
#include "dlgdownload.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "histogram.h"
#include "itemdata.h"
#include "readingexclusion.h"
#include "tablefollower.h"
#include "tvitemmodel.h"
#include "widget.h"
#include "workspace.h"

namespace {

constexpr int ChartTab = 2;
constexpr int TableTab = 0;
constexpr int FastestIntervalMs = 10;
constexpr quint32 Seed = 6814;

// Stamps the gauge's live readings as they are emitted, ahead of the window, and the paints of the
// chart and of the reading counter, on one clock.
class Probe : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(Probe)

public:
    Probe() { clock.start(); }

    qint64 now() const { return clock.nsecsElapsed(); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            if (watched == chart)
                chartPainted = now();
            else if (watched == counter)
                counterPainted = now();
        }
        return QObject::eventFilter(watched, event);
    }

    QElapsedTimer clock;
    QObject *chart = nullptr;
    QObject *counter = nullptr;
    qint64 chartPainted = -1;
    qint64 counterPainted = -1;
    bool counting = false;
    int emitted = 0;
    std::vector<qint64> pending; // emission times of readings not yet painted

public slots:
    void onDisplay(const DmmData *)
    {
        if (!counting)
            return;
        ++emitted;
        pending.push_back(now());
    }
};

struct ViewState
{
    QStringList labels;
    int rows = 0;
    int scroll = 0;
    int scrollMax = 0;
    QList<int> bins;
    QImage chart;
    QImage table;
};

struct Window
{
    Widget *widget;
    QTabWidget *tabs;
    DMMChart *chart;
    Histogram *histogram;
    QTableView *table;
    QTreeView *items;
    QLabel *counter;
};

Window windowOf(Widget *widget)
{
    return {widget,
            widget->findChild<QTabWidget *>(QStringLiteral("tabWidget")),
            widget->findChild<DMMChart *>(QStringLiteral("chart")),
            widget->findChild<Histogram *>(QStringLiteral("Histogram1")),
            widget->findChild<QTableView *>(QStringLiteral("tv")),
            widget->findChild<QTreeView *>(QStringLiteral("tvItems")),
            widget->findChild<QLabel *>(QStringLiteral("lcdNum"))};
}

QString iniPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Lib/simgauge.ini");
}

void writeIni(int storedReadings)
{
    QSettings ini(iniPath(), QSettings::IniFormat);
    ini.setValue(QStringLiteral("intervalMs"), FastestIntervalMs);
    ini.setValue(QStringLiteral("storedReadings"), storedReadings);
    ini.setValue(QStringLiteral("unit"), QStringLiteral("um"));
    ini.setValue(QStringLiteral("basis"), QStringLiteral("Fe"));
    ini.setValue(QStringLiteral("nominal"), 120);
    ini.setValue(QStringLiteral("spread"), 6);
    ini.setValue(QStringLiteral("overloadEvery"), 50);
    ini.setValue(QStringLiteral("seed"), Seed);
    ini.sync();
}

// The gauge's root object: the very instance the window binds when it scans Lib.
QObject *findGauge()
{
    const QDir lib(QCoreApplication::applicationDirPath() + QStringLiteral("/Lib"));
    for (const QFileInfo &entry : lib.entryInfoList(QDir::Files)) {
        if (!QLibrary::isLibrary(entry.fileName()))
            continue;
        QPluginLoader loader(entry.absoluteFilePath());
        QObject *instance = loader.instance();
        if (instance && instance->metaObject()->indexOfSignal("display(const DmmData*)") >= 0)
            return instance;
    }
    return nullptr;
}

template<typename Predicate>
bool waitFor(Predicate done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

// Shows the widget and returns once the platform has exposed its window, or after ten seconds.
void showExposed(QWidget *widget)
{
    widget->show();
    waitFor([widget] { return widget->windowHandle() && widget->windowHandle()->isExposed(); },
            10000);
}

void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

QAction *action(const Window &w, const char *name)
{
    return w.widget->findChild<QAction *>(QLatin1String(name));
}

QString counterText(const Window &w)
{
    return w.counter->text();
}

ViewState capture(const Window &w)
{
    ViewState state;
    for (const char *name : {"lcdNum", "lcdAvg", "lcdMin", "lcdMax"})
        state.labels << w.widget->findChild<QLabel *>(QLatin1String(name))->text();
    state.rows = w.table->model()->rowCount();
    state.scroll = w.table->verticalScrollBar()->value();
    state.scrollMax = w.table->verticalScrollBar()->maximum();
    for (int bin = 0; bin < w.histogram->barCount(); ++bin)
        state.bins << w.histogram->count(bin);
    state.chart = w.chart->grab().toImage();
    w.tabs->setCurrentIndex(TableTab);
    settle(50);
    state.table = w.table->grab().toImage();
    w.tabs->setCurrentIndex(ChartTab);
    settle(50);
    return state;
}

void activate(const Window &w, const QModelIndex &index)
{
    QMetaObject::invokeMethod(w.widget, "itemSetToActive", Q_ARG(QModelIndex, index));
    settle(50);
}

// Captures the views, reloads the item by activating another one and back, and compares.
void compareWithReload(const Window &w, const QModelIndex &item, const QModelIndex &other)
{
    const ViewState shown = capture(w);
    activate(w, other);
    activate(w, item);
    const ViewState reloaded = capture(w);
    QStringList differences;
    if (shown.labels != reloaded.labels)
        differences << QStringLiteral("statistics (%1 / %2)")
                           .arg(shown.labels.join(QLatin1Char(' ')),
                                reloaded.labels.join(QLatin1Char(' ')));
    if (shown.rows != reloaded.rows)
        differences << QStringLiteral("table rows");
    if (shown.scroll != shown.scrollMax || reloaded.scroll != reloaded.scrollMax)
        differences << QStringLiteral("table not at its bottom");
    if (shown.table != reloaded.table)
        differences << QStringLiteral("table picture");
    if (shown.bins != reloaded.bins)
        differences << QStringLiteral("histogram counts");
    if (shown.chart != reloaded.chart)
        differences << QStringLiteral("chart picture");
    QStringList bins;
    for (int count : shown.bins)
        bins << QString::number(count);
    std::printf("    shown: %s, %d rows, histogram %s\n",
                qPrintable(shown.labels.join(QLatin1Char(' '))), shown.rows,
                qPrintable(bins.join(QLatin1Char(' '))));
    std::printf("    same as a full reload: %s\n",
                differences.isEmpty() ? "yes"
                                      : qPrintable(QStringLiteral("NO, differs in ") +
                                                   differences.join(QStringLiteral(", "))));
}

// Returns the seconds from the Download command until the completed item is painted.
double download(const Window &w, Probe &probe, int readings)
{
    writeIni(readings);
    settle(100);
    const qint64 start = probe.now();
    action(w, "actionItemDownload")->trigger(); // returns when the dialog has closed itself
    waitFor([&] { return probe.chartPainted > start; }, 2000);
    QCoreApplication::processEvents();
    const double seconds = (probe.now() - start) / 1e9;
    const QString expected = QStringLiteral("Num:%1").arg(readings);
    if (counterText(w) != expected || w.chart->pointCount() != readings)
        std::printf("    INCOMPLETE: %s, %d chart points\n", qPrintable(counterText(w)),
                    w.chart->pointCount());
    return seconds;
}

DmmData *makeReading(std::mt19937 &random, const QDateTime &time)
{
    std::normal_distribution<double> thickness(120.0, 6.0);
    return bench::makeReading(std::round(std::max(0.0, thickness(random))), time);
}

using bench::Figures;
using bench::summarise;

// Times the gauge's next live readings from emission until the chart and the counter have
// painted them, then stops acquiring. Returns the median in ms, -1 when no reading arrived.
double timeLiveReadings(const Window &w, Probe &probe, int live)
{
    settle(200);
    probe.counting = true;
    probe.pending.clear();
    std::vector<double> latencies;
    QElapsedTimer liveTimer;
    liveTimer.start();
    while (int(latencies.size()) < live && liveTimer.elapsed() < 600000) {
        QCoreApplication::processEvents();
        const qint64 painted = std::min(probe.chartPainted, probe.counterPainted);
        const qint64 now = probe.now();
        auto done = probe.pending.begin();
        while (done != probe.pending.end() && *done < painted && int(latencies.size()) < live) {
            latencies.push_back((now - *done) / 1e6);
            ++done;
        }
        probe.pending.erase(probe.pending.begin(), done);
    }
    action(w, "actionStop")->trigger();
    probe.counting = false;
    const double liveSeconds = liveTimer.elapsed() / 1e3;
    if (latencies.empty()) {
        std::printf("  no live reading arrived\n");
        return -1.0;
    }
    const Figures f = summarise(latencies);
    std::printf("  %zu readings in %.1f s (%.0f readings/s), emission to painted, ms:\n",
                latencies.size(), liveSeconds, latencies.size() / liveSeconds);
    std::printf("  median %.2f  90th percentile %.2f  worst %.2f  mean %.2f\n", f.median, f.p90,
                f.worst, f.mean);
    return f.median;
}

// Resident and peak memory of the process and the heap in use, in MB.
QString processMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    QStringList parts;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:") || line.startsWith("VmHWM:")) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            parts << QStringLiteral("%1 %2 MB")
                         .arg(QString::fromLatin1(fields.at(0)))
                         .arg(fields.at(1).toLongLong() / 1024);
        }
    }
    // The heap the process uses, apart from what an earlier part freed and the allocator keeps.
    const struct mallinfo2 info = mallinfo2();
    parts << QStringLiteral("heap in use %1 MB").arg((info.uordblks + info.hblkhd) >> 20);
    return parts.join(QStringLiteral(", "));
}

// Bytes in use on the heap.
qint64 heapInUse()
{
    malloc_trim(0);
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks) + qint64(info.hblkhd);
}

template<typename Step>
double millisecondsOf(Step step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    return timer.nsecsElapsed() / 1e6;
}

// One live reading into an item of `size` readings, view by view, on the classes the window
// uses and with what the window calls on them; and the heap each structure takes per reading.
void breakdown(int size, const QSize &chartSize)
{
    std::mt19937 random(Seed);
    const QDateTime base = QDateTime::currentDateTime().addSecs(-size);
    const qint64 heap0 = heapInUse();
    ItemData item(QStringLiteral("Measure1"), ItemData::MeasureData);
    item.setUnit(QStringLiteral("\u03BCm"));
    for (int i = 0; i < size; ++i) {
        DmmData *reading = makeReading(random, base.addSecs(i));
        if (i % 50 == 49) {
            reading->setOverload(1);
            reading->setUmText(QStringLiteral("    OL"));
            reading->setMilText(QStringLiteral("    OL"));
        }
        item.appendReading(reading, false);
    }
    item.updateStatistics();
    const qint64 heap1 = heapInUse();

    DataModel model;
    model.setItem(&item);
    QTableView table;
    table.setModel(&model);
    table.resize(700, 400);
    model.setReadings(item.readings());
    table.scrollToBottom();
    TableFollower follower(&table);
    const qint64 heap2 = heapInUse();

    Histogram histogram;
    histogram.setRanges({{std::numeric_limits<double>::lowest(), 0},
                         {0, 200},
                         {200, 400},
                         {400, 600},
                         {600, 800},
                         {800, 1000},
                         {1000, 1250},
                         {1250, std::numeric_limits<double>::max()}});
    QList<double> values;
    QList<ChartPoint *> points;
    const QList<DmmData *> readings = item.readings();
    for (const DmmData *reading : readings) {
        values.append(item.valueOf(reading));
    }
    histogram.addValues(values);
    values = QList<double>();
    const qint64 heap3 = heapInUse();

    DMMChart chart;
    chart.resize(chartSize);
    showExposed(&chart);
    for (const DmmData *reading : readings) {
        const QString text = item.textOf(reading);
        points.append(
            new ChartPoint(item.valueOf(reading), reading->time(),
                           QStringLiteral("%1%2 %3").arg(text, reading->unit(), reading->basis())));
    }
    chart.addPoints(points);
    points = QList<ChartPoint *>();
    chart.repaint();
    const qint64 heap4 = heapInUse();

    std::vector<double> statistics, rows, rowsScrolled, bins, plot, everyPoint;
    for (int round = 0; round < 20; ++round) {
        DmmData *reading = makeReading(random, base.addSecs(size + round));
        statistics.push_back(millisecondsOf([&] { item.appendReading(reading, true); }));
        rows.push_back(millisecondsOf([&] {
            model.appendReadingRow(reading);
            follower.rowsAppended();
        }));
        bins.push_back(millisecondsOf([&] { histogram.addValue(item.valueOf(reading)); }));
        plot.push_back(millisecondsOf([&] {
            const QString text = item.textOf(reading);
            chart.addPoint(new ChartPoint(
                item.valueOf(reading), reading->time(),
                QStringLiteral("%1%2 %3").arg(text, reading->unit(), reading->basis())));
            chart.repaint();
        }));
        everyPoint.push_back(millisecondsOf([&] {
            // The line as the chart drew it before: every point laid out, then thinned.
            QImage image(chart.size(), QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.setPen(QPen(chart.line(0)->color(), 1));
            const QVector<double> &all = chart.line(0)->values();
            QPolygon run;
            for (int i = 0; i < all.size(); ++i) {
                if (std::isfinite(all.at(i)))
                    run.append(QPoint(
                        DMMChart::truncPixel(i * chart.xScale() + chart.plotRect().x()),
                        DMMChart::truncPixel(chart.baselineY() - chart.yScale() * all.at(i))));
            }
            painter.drawPolyline(charttest::columnEnvelope(run));
        }));
    }
    // As the window did before: the hidden table laid out and scrolled for every reading. Apart
    // from the rounds above, as a layout makes the next row's insertion cost more as well.
    for (int round = 0; round < 20; ++round) {
        rowsScrolled.push_back(millisecondsOf([&] {
            model.appendReadingRow(item.readings().last());
            table.scrollToBottom();
        }));
    }
    const double views[] = {summarise(statistics).median, summarise(rows).median,
                            summarise(bins).median, summarise(plot).median};
    const double total = views[0] + views[1] + views[2] + views[3];
    std::printf("one live reading into an item of %d, median ms (share):\n", size);
    const char *names[] = {"statistics", "table (hidden)", "histogram (hidden)", "chart (shown)"};
    for (int v = 0; v < 4; ++v)
        std::printf("  %-20s %8.3f  (%4.1f %%)\n", names[v], views[v], 100.0 * views[v] / total);
    std::printf("  %-20s %8.3f  (before: scrolled for every reading)\n", "table (hidden)",
                summarise(rowsScrolled).median);
    std::printf("  %-20s %8.3f  (before: drawing every point, thinned)\n", "chart line alone",
                summarise(everyPoint).median);
    const double n = size;
    std::printf("heap bytes per reading:\n");
    std::printf("  %-20s %8.0f\n", "readings and item", (heap1 - heap0) / n);
    std::printf("  %-20s %8.0f\n", "table model and view", (heap2 - heap1) / n);
    std::printf("  %-20s %8.0f\n", "histogram", (heap3 - heap2) / n);
    std::printf("  %-20s %8.0f\n", "chart", (heap4 - heap3) / n);
    std::printf("  %-20s %8.0f\n", "all", (heap4 - heap0) / n);
    model.clearRows();
}

struct WindowFigures
{
    double download = 0.0;
    double liveMedian = 0.0;
    QSize chartSize;
};

struct StartupFigures
{
    double wallMs = 0.0;
    double insideMs = 0.0;
    double residentMb = 0.0;
};

// Answers every message box the window opens, such as the one that says the workspace is in use.
class ModalCloser : public QObject
{
public:
    ModalCloser()
    {
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                box->accept();
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
};

// The process's resident memory in MB, or -1 where /proc does not tell.
double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1.0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1.0;
}

// Writes a workspace of `items` measurement items of `readings` readings each, the last active.
void fillWorkspace(const QString &path, int items, int readings)
{
    Workspace workspace;
    workspace.open(path);
    ItemData store(QStringLiteral("Store Data"), ItemData::StoreData);
    ItemData *active = nullptr;
    qDeleteAll(workspace.restore(&store, &active));
    std::mt19937 random(Seed);
    const QDateTime base = QDateTime::currentDateTime().addSecs(-readings);
    std::vector<std::unique_ptr<ItemData>> written;
    for (int i = 0; i < items; ++i) {
        written.push_back(std::make_unique<ItemData>(QStringLiteral("Measure%1").arg(i + 1),
                                                     ItemData::MeasureData));
        ItemData *item = written.back().get();
        item->setUnit(QStringLiteral("\u03BCm"));
        workspace.itemAdded(item);
        for (int n = 0; n < readings; ++n) {
            item->appendReading(makeReading(random, base.addSecs(n)), false);
            if (n % 1000 == 999 || n == readings - 1)
                workspace.itemChanged(item);
        }
        if (i == items - 1)
            workspace.itemActivated(item);
        workspace.commit();
        // The rows are written; the readings need not stay in memory here.
        item->clearReadings();
    }
}

// The longest turn of the event loop while it runs: the longest gap between the ticks of a
// timer that asks for one every millisecond.
class TurnWatch : public QObject
{
public:
    TurnWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_longest = std::max(m_longest, m_clock.nsecsElapsed() / 1e6);
            m_clock.restart();
        });
        m_clock.start();
        m_timer.start();
    }
    // The turn under way counts too: it may be the longest.
    double longestMs() const { return std::max(m_longest, m_clock.nsecsElapsed() / 1e6); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_longest = 0.0;
};

// Whether the active item's readings are all in: the bar that shows their loading is hidden.
// Looked up once: a search of the window's children at every turn would slow the turns it times.
std::function<bool()> viewsComplete(Widget &window)
{
    const QWidget *bar = window.findChild<QWidget *>(QStringLiteral("loadProgress"));
    return [bar] { return !bar->isVisible(); };
}

// In the child: builds the window on the workspace at path, shows it, and reports when it is
// painted and when the active item's views are complete.
int startUpLarge(const QElapsedTimer &sinceStart, const QString &path)
{
    qputenv("RQ6814_WORKSPACE", path.toLocal8Bit());
    ModalCloser closer;
    Widget window;
    showExposed(&window);
    QCoreApplication::processEvents();
    const double shown = sinceStart.nsecsElapsed() / 1e6;
    TurnWatch turns;
    waitFor(viewsComplete(window), 60000);
    std::printf("large %.1f %.1f %.1f %s\n", shown, sinceStart.nsecsElapsed() / 1e6,
                turns.longestMs(),
                qPrintable(window.findChild<QLabel *>(QStringLiteral("lcdNum"))->text()));
    return 0;
}

// In the child: activates the stored item of the window's second row, then deletes it.
int activateLarge(const QString &path)
{
    qputenv("RQ6814_WORKSPACE", path.toLocal8Bit());
    ModalCloser closer;
    Widget window;
    showExposed(&window);
    settle(200);
    auto *items = window.findChild<QTreeView *>(QStringLiteral("tvItems"));
    const QModelIndex large = items->model()->index(0, 0, items->model()->index(1, 0));
    QElapsedTimer clock;
    clock.start();
    QMetaObject::invokeMethod(&window, "itemSetToActive", Q_ARG(QModelIndex, large));
    const double answered = clock.nsecsElapsed() / 1e6;
    double longest = 0.0;
    {
        TurnWatch turns;
        waitFor(viewsComplete(window), 60000);
        longest = std::max(answered, turns.longestMs());
    }
    const double complete = clock.nsecsElapsed() / 1e6;
    const QString count = window.findChild<QLabel *>(QStringLiteral("lcdNum"))->text();
    settle(200);

    items->setCurrentIndex(large);
    TurnWatch turns;
    QTimer::singleShot(0, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Yes)->click();
    });
    clock.restart();
    window.findChild<QAction *>(QStringLiteral("actionItemDelete"))->trigger();
    const double deleting = clock.nsecsElapsed() / 1e6;
    settle(2000);
    std::printf("activation %.1f %.1f %.1f %s %.1f %.1f\n", answered, longest, complete,
                qPrintable(count), deleting, turns.longestMs());
    return 0;
}

// In the child: on the workspace at path, whose Store Data holds many readings not yet read,
// starts a download, cancels it as soon as its dialog shows and goes back to the earlier readings.
// Reports the time until the dialog showed, the longest turn of the event loop while it was up and
// from then on until Store Data's views are complete, and when they were.
int replaceLarge(const QString &path)
{
    qputenv("RQ6814_WORKSPACE", path.toLocal8Bit());
    ModalCloser closer;
    Widget window;
    showExposed(&window);
    window.findChild<QAction *>(QStringLiteral("actionConnect"))->trigger();
    const auto *disconnect = window.findChild<QAction *>(QStringLiteral("actionDisconnect"));
    waitFor([&] { return disconnect->isEnabled(); }, 5000);
    settle(200);
    QElapsedTimer clock;
    double shown = -1.0;
    // Cancelled at the first tick the dialog is up, restored at the next.
    QTimer answer;
    answer.setTimerType(Qt::PreciseTimer);
    answer.setInterval(1);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<DlgDownload *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (shown < 0)
            shown = clock.nsecsElapsed() / 1e6;
        dialog->reject();
    });
    answer.start();
    std::unique_ptr<TurnWatch> turns;
    clock.start();
    QTimer::singleShot(0, [&] { turns = std::make_unique<TurnWatch>(); });
    window.findChild<QAction *>(QStringLiteral("actionItemDownload"))->trigger();
    answer.stop();
    const double dialogTurn = turns ? turns->longestMs() : -1.0;
    turns = std::make_unique<TurnWatch>();
    waitFor(viewsComplete(window), 60000);
    std::printf("replace %.1f %.1f %.1f %.1f %s\n", shown, dialogTurn, turns->longestMs(),
                clock.nsecsElapsed() / 1e6,
                qPrintable(window.findChild<QLabel *>(QStringLiteral("lcdNum"))->text()));
    return 0;
}

// Runs this program in a child with arguments and returns the fields of its line that starts
// with key.
QList<QByteArray> runChild(const QStringList &arguments, const QByteArray &key)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    QList<QByteArray> fields;
    while (child.state() != QProcess::NotRunning || child.bytesAvailable()) {
        child.waitForReadyRead(50);
        while (child.canReadLine()) {
            const QList<QByteArray> line = child.readLine().trimmed().split(' ');
            if (line.first() == key)
                fields = line.mid(1);
        }
    }
    return fields;
}

// Makes the item of the workspace at path whose name is `name` the active one.
void setActive(const QString &path, const QString &name)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "bench");
        db.setDatabaseName(path);
        db.open();
        QSqlQuery query(db);
        query.prepare(QStringLiteral("UPDATE item SET active = (name = ?)"));
        query.addBindValue(name);
        query.exec();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
}

// Downloads readings on a new window with the workspace on or off; returns the seconds.
double downloadOnce(Probe &probe, const QString &workspace, int readings, bool store)
{
    QFile::remove(workspace);
    QLockFile held(workspace + QStringLiteral(".lock"));
    if (!store)
        held.tryLock(0);
    ModalCloser closer;
    auto *widget = new Widget;
    const Window w = windowOf(widget);
    probe.chart = w.chart;
    w.chart->installEventFilter(&probe);
    showExposed(widget);
    action(w, "actionConnect")->trigger();
    waitFor([&] { return action(w, "actionDisconnect")->isEnabled(); }, 5000);
    w.tabs->setCurrentIndex(ChartTab);
    settle(200);
    const double seconds = download(w, probe, readings);
    action(w, "actionDisconnect")->trigger();
    settle(100);
    delete widget;
    return seconds;
}

int runLarge(Probe &probe, int readings)
{
    constexpr int Runs = 3;
    QTemporaryDir folder;
    const QString original = folder.filePath(QStringLiteral("large.sqlite"));
    const QString path = folder.filePath(QStringLiteral("run.sqlite"));
    QElapsedTimer filling;
    filling.start();
    fillWorkspace(original, 1, readings);
    std::printf("workspace of one item of %d readings written in %.1f s\n", readings,
                filling.elapsed() / 1e3);
    std::fflush(stdout);
    const auto fresh = [&] {
        QFile::remove(path);
        QFile::copy(original, path);
    };
    std::printf("start-up with the item active, ms: usable, views complete, longest turn\n");
    for (int run = 0; run < Runs; ++run) {
        fresh();
        const QList<QByteArray> f = runChild({QStringLiteral("--large-startup"), path}, "large");
        std::printf("  %s %s %s (%s)\n", f.value(0).constData(), f.value(1).constData(),
                    f.value(2).constData(), f.value(3).constData());
        std::fflush(stdout);
    }
    std::printf("activation of the stored item, ms: answered, longest turn, views complete; "
                "deletion, ms: the command, longest turn\n");
    for (int run = 0; run < Runs; ++run) {
        fresh();
        // A second, empty item is active when the window starts.
        {
            Workspace workspace;
            workspace.open(path);
            ItemData store(QStringLiteral("Store Data"), ItemData::StoreData);
            ItemData *active = nullptr;
            const QList<ItemData *> items = workspace.restore(&store, &active);
            ItemData empty(QStringLiteral("Empty"), ItemData::MeasureData);
            workspace.itemAdded(&empty);
            workspace.commit();
            qDeleteAll(items);
        }
        setActive(path, QStringLiteral("Empty"));
        const QList<QByteArray> f =
            runChild({QStringLiteral("--large-activate"), path}, "activation");
        std::printf("  %s %s %s (%s); %s %s\n", f.value(0).constData(), f.value(1).constData(),
                    f.value(2).constData(), f.value(3).constData(), f.value(4).constData(),
                    f.value(5).constData());
        std::fflush(stdout);
    }
    std::printf("download of %d readings, s: workspace off, on, ratio\n", readings);
    const QString downloads = folder.filePath(QStringLiteral("download.sqlite"));
    qputenv("RQ6814_WORKSPACE", downloads.toLocal8Bit());
    for (int run = 0; run < Runs; ++run) {
        const double off = downloadOnce(probe, downloads, readings, false);
        const double on = downloadOnce(probe, downloads, readings, true);
        std::printf("  %.2f %.2f %.2f\n", off, on, on / off);
        std::fflush(stdout);
    }
    // The last download left its readings in Store Data; another item is active at the start.
    std::printf("a download replacing the %d readings of Store Data not yet read, cancelled and "
                "the earlier readings restored, ms: dialog shown, longest turn with the dialog "
                "up and after it, views complete\n",
                readings);
    writeIni(100000);
    for (int run = 0; run < Runs; ++run) {
        QFile::remove(path);
        QFile::copy(downloads, path);
        setActive(path, QStringLiteral("Measure1"));
        const QList<QByteArray> f = runChild({QStringLiteral("--large-replace"), path}, "replace");
        std::printf("  %s %s %s %s (%s)\n", f.value(0).constData(), f.value(1).constData(),
                    f.value(2).constData(), f.value(3).constData(), f.value(4).constData());
        std::fflush(stdout);
    }
    return 0;
}

// In the child: builds the window on the workspace at path and reports when it has been painted.
int startUp(const QElapsedTimer &sinceStart, const QString &path, bool store)
{
    qputenv("RQ6814_WORKSPACE", path.toLocal8Bit());
    QLockFile held(path + QStringLiteral(".lock"));
    if (!store)
        held.tryLock(0);
    ModalCloser closer;
    Widget window;
    showExposed(&window);
    QCoreApplication::processEvents();
    std::printf("shown %.1f %.1f\n", sinceStart.nsecsElapsed() / 1e6, residentMb());
    std::fflush(stdout);
    return 0;
}

StartupFigures runStartUp(const QString &path, bool store)
{
    StartupFigures figures;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer wall;
    wall.start();
    child.start(
        QCoreApplication::applicationFilePath(),
        {QStringLiteral("--startup"), path, store ? QStringLiteral("on") : QStringLiteral("off")});
    while (child.state() != QProcess::NotRunning || child.bytesAvailable()) {
        child.waitForReadyRead(50);
        if (!child.canReadLine())
            continue;
        const QList<QByteArray> fields = child.readLine().trimmed().split(' ');
        if (fields.size() == 3 && fields.first() == "shown") {
            figures.wallMs = wall.nsecsElapsed() / 1e6;
            figures.insideMs = fields.at(1).toDouble();
            figures.residentMb = fields.at(2).toDouble();
        }
    }
    std::printf(
        "  store %s: painted after %.0f ms (%.0f ms inside the process), %.0f MB resident\n",
        store ? "on " : "off", figures.wallMs, figures.insideMs, figures.residentMb);
    return figures;
}

} // namespace

// Runs the downloads and the live readings on one window and returns its key figures.
// Excludes a tenth of the active item's readings, selected in the table as one block, until the
// table, the histogram and the chart have painted it; then takes them back in with undo.
void timeExclusion(const Window &w)
{
    auto *exclusions = w.widget->findChild<ReadingExclusion *>();
    const QAbstractItemModel *model = w.table->model();
    const int rows = model->rowCount();
    const int first = rows / 3;
    const int count = rows / 10;
    w.table->selectionModel()->select(
        QItemSelection(model->index(first, 0), model->index(first + count - 1, 4)),
        QItemSelectionModel::ClearAndSelect);
    const auto painted = [&w] {
        w.table->viewport()->repaint();
        w.histogram->repaint();
        w.chart->repaint();
    };
    QElapsedTimer timer;
    timer.start();
    exclusions->setExcluded(exclusions->selectedRows(), QStringLiteral("Probe lifted or tilted"));
    painted();
    const double excluded = timer.nsecsElapsed() / 1e6;
    timer.restart();
    exclusions->undoAction()->trigger();
    painted();
    const double undone = timer.nsecsElapsed() / 1e6;
    std::printf("exclude %d selected of %d readings, views painted: %.0f ms; undo: %.0f ms\n",
                count, rows, excluded, undone);
}

WindowFigures measureWindow(Probe &probe, int small, int large, int live)
{
    WindowFigures result;
    probe.counting = false;
    probe.emitted = 0;
    probe.pending.clear();
    auto *widget = new Widget;
    const Window w = windowOf(widget);
    probe.chart = w.chart;
    probe.counter = w.counter;
    w.chart->installEventFilter(&probe);
    w.counter->installEventFilter(&probe);
    showExposed(widget);

    action(w, "actionConnect")->trigger();
    if (!waitFor([&] { return action(w, "actionDisconnect")->isEnabled(); }, 5000)) {
        std::printf("the gauge did not open\n");
        delete widget;
        return {};
    }
    w.tabs->setCurrentIndex(ChartTab);
    settle(200);

    const QAbstractItemModel *tree = w.items->model();
    const QModelIndex storeData = tree->index(0, 0);
    const QModelIndex measure = tree->index(0, 0, tree->index(1, 0));

    std::printf("download with the Chart tab shown, window %dx%d, chart %dx%d\n", widget->width(),
                widget->height(), w.chart->width(), w.chart->height());
    double seconds[2] = {0.0, 0.0};
    const int sizes[2] = {small, large};
    for (int i = 0; i < 2; ++i) {
        seconds[i] = download(w, probe, sizes[i]);
        std::printf("  %7d readings: %8.2f s  %9.0f readings/s  memory %s\n", sizes[i], seconds[i],
                    sizes[i] / seconds[i], qPrintable(processMemory()));
        compareWithReload(w, storeData, measure);
    }
    std::printf("  ratio %d / %d: %.2f\n", large, small, seconds[1] / seconds[0]);
    result.download = seconds[1];

    // Live readings: fill the measurement item through the window's slot, then time the gauge's
    // own readings.
    activate(w, measure);
    action(w, "actionStart")->trigger();
    std::mt19937 random(Seed);
    const QDateTime base = QDateTime::currentDateTime().addSecs(-large);
    int injected = 0;
    probe.counting = true;
    QElapsedTimer fillTimer;
    fillTimer.start();
    while (injected + probe.emitted < large) {
        const int chunk = std::min(500, large - injected - probe.emitted);
        for (int i = 0; i < chunk; ++i) {
            DmmData *reading = makeReading(random, base.addSecs(injected));
            QMetaObject::invokeMethod(widget, "slotDmmDisplay", Q_ARG(const DmmData *, reading));
            ++injected;
        }
        QCoreApplication::processEvents();
    }
    const double fillSeconds = fillTimer.elapsed() / 1e3;
    const int held = injected + probe.emitted;
    std::printf("live readings every %d ms into an item holding %d (filled in %.1f s)\n",
                FastestIntervalMs, held, fillSeconds);
    result.liveMedian = timeLiveReadings(w, probe, live);
    compareWithReload(w, measure, storeData);

    // The same with a requirement: the verdict, the marked rows and the limit lines follow
    // every reading.
    CoatingRequirement requirement(QStringLiteral("iso19840"), QStringLiteral("\u03BCm"));
    requirement.setValue(QStringLiteral("nominal"), 115.0);
    requirement.setValue(QStringLiteral("maximum"), 300.0);
    TvItemModel::itemAt(measure)->setRequirement(requirement);
    activate(w, storeData);
    activate(w, measure);
    action(w, "actionStart")->trigger();
    std::printf("live readings into an item holding %d judged by ISO 19840 (%s)\n",
                TvItemModel::itemAt(measure)->statistics()->num,
                qPrintable(w.widget->findChild<QLabel *>(QStringLiteral("lcdVerdict"))->text()));
    timeLiveReadings(w, probe, live);
    compareWithReload(w, measure, storeData);
    action(w, "actionStop")->trigger();
    timeExclusion(w);
    std::printf("memory at the end of the window part: %s\n", qPrintable(processMemory()));
    result.chartSize = w.chart->size();

    action(w, "actionDisconnect")->trigger();
    settle(100);
    delete widget;
    return result;
}

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (app.arguments().value(1) == QLatin1String("--startup"))
        return startUp(sinceStart, app.arguments().value(2), app.arguments().value(3) == "on");
    if (app.arguments().value(1) == QLatin1String("--large-startup"))
        return startUpLarge(sinceStart, app.arguments().value(2));
    if (app.arguments().value(1) == QLatin1String("--large-activate"))
        return activateLarge(app.arguments().value(2));
    if (app.arguments().value(1) == QLatin1String("--large-replace"))
        return replaceLarge(app.arguments().value(2));
    const bool largeOnly = app.arguments().value(1) == QLatin1String("--large");

    const int small = argc > 2 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    const int large = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 100000;
    const int live = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 1000;
    const int startupItems = argc > 4 ? QString::fromLocal8Bit(argv[4]).toInt() : 10;

    QDir().mkpath(QCoreApplication::applicationDirPath() + QStringLiteral("/Lib"));
    writeIni(0);
    QObject *gauge = findGauge();
    if (!gauge) {
        std::printf("no simulated gauge in %s\n",
                    qPrintable(QCoreApplication::applicationDirPath() + QStringLiteral("/Lib")));
        return 1;
    }
    // Connected before any window binds the gauge, so the probe sees each reading first.
    Probe probe;
    QObject::connect(gauge, SIGNAL(display(const DmmData *)), &probe,
                     SLOT(onDisplay(const DmmData *)));
    if (largeOnly)
        return runLarge(probe, argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1000000);

    QTemporaryDir folder;
    const QString workspace = folder.filePath(QStringLiteral("workspace.sqlite"));
    qputenv("RQ6814_WORKSPACE", workspace.toLocal8Bit());
    WindowFigures figures[2];
    {
        std::printf("=== store off\n");
        QLockFile held(workspace + QStringLiteral(".lock"));
        held.tryLock(0);
        ModalCloser closer;
        figures[0] = measureWindow(probe, small, large, live);
    }
    std::printf("=== store on\n");
    figures[1] = measureWindow(probe, small, large, live);

    std::printf("=== start-up with a workspace of %d items of %d readings\n", startupItems, large);
    const QString big = folder.filePath(QStringLiteral("big.sqlite"));
    QElapsedTimer filling;
    filling.start();
    fillWorkspace(big, startupItems, large);
    std::printf("  workspace written in %.1f s, %.0f MB\n", filling.elapsed() / 1e3,
                QFileInfo(big).size() / 1e6);
    const StartupFigures startOff = runStartUp(big, false);
    const StartupFigures startOn = runStartUp(big, true);

    std::printf("=== summary (store off / on)\n");
    std::printf("  download of %d readings: %.2f s / %.2f s, ratio %.2f\n", large,
                figures[0].download, figures[1].download,
                figures[1].download / figures[0].download);
    std::printf(
        "  live reading into an item of %d, median emission to painted: %.2f ms / %.2f ms\n", large,
        figures[0].liveMedian, figures[1].liveMedian);
    std::printf(
        "  start-up to the painted window: %.0f ms / %.0f ms (inside the process: %.0f ms / "
        "%.0f ms)\n",
        startOff.wallMs, startOn.wallMs, startOff.insideMs, startOn.insideMs);
    std::printf("  resident memory after start-up: %.0f MB / %.0f MB\n", startOff.residentMb,
                startOn.residentMb);

    breakdown(large, figures[1].chartSize);
    return 0;
}

#include "bench_download.moc"
