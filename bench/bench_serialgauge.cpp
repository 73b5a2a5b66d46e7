// Prints how the real window keeps up with a serial gauge that sends 10,000 lines a second for
// 10 seconds through a pseudo-terminal: whether every reading arrived, in order, how long the
// last one lagged behind, and the worst gap between two turns of the event loop while the lines
// came in (the window's responsiveness).
//
// Usage: bench_serialgauge [linesPerSecond [seconds]]

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTableView>
#include <QTimer>
#include <QWindow>

#include "optionsfile.h"
#include "ptypair.h"
#include "widget.h"

namespace {

constexpr int BatchesPerSecond = 100;

// Writes lines "  <n> um" for n = 1, 2, ... at the given rate, in batches every 10 ms, blocking
// when the line is full as a real port would.
void feed(int fd, int perSecond, int seconds, std::atomic<int> *sent, std::atomic<bool> *stop)
{
    using Clock = std::chrono::steady_clock;
    const int perBatch = std::max(1, perSecond / BatchesPerSecond);
    const int total = perSecond * seconds;
    const auto start = Clock::now();
    int n = 0;
    for (int batch = 0; n < total && !*stop; ++batch) {
        std::this_thread::sleep_until(start +
                                      std::chrono::milliseconds(batch * 1000 / BatchesPerSecond));
        QByteArray data;
        for (int i = 0; i < perBatch && n < total; ++i)
            data += "  " + QByteArray::number(++n) + " um\r\n";
        qint64 written = 0;
        while (written < data.size() && !*stop) {
            const ssize_t w = ::write(fd, data.constData() + written, data.size() - written);
            if (w > 0) {
                written += w;
            } else if (w < 0 && errno != EAGAIN && errno != EINTR) {
                return;
            } else {
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 10);
            }
        }
        sent->store(n);
    }
}

QAction *action(Widget &w, const char *name)
{
    return w.findChild<QAction *>(QLatin1String(name));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int perSecond = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    const int seconds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 10;
    const int total = perSecond * seconds;

    PtyPair pty;
    if (!pty.isOpen()) {
        std::printf("no pseudo-terminal\n");
        return 1;
    }
    // The window binds the serial gauge chosen in options.xml and opens the pseudo-terminal.
    const QString dir = QCoreApplication::applicationDirPath();
    OptionsFile::write(dir + QStringLiteral("/options.xml"), {}, {}, {},
                       QStringLiteral("serialgauge"));
    {
        QSettings ini(dir + QStringLiteral("/Lib/serialgauge.ini"), QSettings::IniFormat);
        ini.clear();
        ini.setValue(QStringLiteral("port"), pty.slaveName());
        ini.setValue(QStringLiteral("baudRate"), 115200);
        ini.setValue(QStringLiteral("format"), QStringLiteral("any"));
    }

    auto window = std::make_unique<Widget>();
    window->show();
    QElapsedTimer wait;
    wait.start();
    while (!(window->windowHandle() && window->windowHandle()->isExposed()) &&
           wait.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    action(*window, "actionConnect")->trigger();
    while (!action(*window, "actionDisconnect")->isEnabled() && wait.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!action(*window, "actionDisconnect")->isEnabled()) {
        std::printf("the serial gauge did not open on %s\n", qPrintable(pty.slaveName()));
        return 1;
    }
    action(*window, "actionStart")->trigger();
    const QAbstractItemModel *table =
        window->findChild<QTableView *>(QStringLiteral("tv"))->model();

    // A zero-delay timer fires once per turn of the event loop.
    QElapsedTimer clock;
    clock.start();
    qint64 lastTurn = clock.nsecsElapsed();
    qint64 worstGap = 0;
    std::vector<qint64> gaps;
    gaps.reserve(1 << 20);
    QTimer turn;
    turn.setInterval(0);
    QObject::connect(&turn, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        gaps.push_back(now - lastTurn);
        worstGap = std::max(worstGap, now - lastTurn);
        lastTurn = now;
    });

    std::atomic<int> sent{0};
    std::atomic<bool> stop{false};
    const qint64 started = clock.nsecsElapsed();
    lastTurn = started;
    turn.start();
    std::thread writer(feed, pty.masterFd(), perSecond, seconds, &sent, &stop);
    qint64 sendDone = -1;
    while (table->rowCount() < total && clock.nsecsElapsed() - started < 120e9) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (sendDone < 0 && sent.load() == total)
            sendDone = clock.nsecsElapsed();
    }
    const qint64 arrived = clock.nsecsElapsed();
    turn.stop();
    stop = true;
    writer.join();
    if (sendDone < 0)
        sendDone = arrived;

    int inOrder = 0;
    const int rows = table->rowCount();
    for (int row = 0; row < rows; ++row)
        if (table->index(row, 2).data().toString() == QString::number(row + 1))
            ++inOrder;
    std::sort(gaps.begin(), gaps.end());
    const auto gapMs = [&](double q) {
        return gaps.empty() ? 0.0 : gaps.at(std::size_t(q * double(gaps.size() - 1))) / 1e6;
    };

    std::printf("serial gauge on %s, \"  <n> um\" lines into the real window\n",
                qPrintable(pty.slaveName()));
    std::printf("  sent %d lines in %.2f s (%.0f lines/s)\n", sent.load(),
                (sendDone - started) / 1e9, sent.load() / ((sendDone - started) / 1e9));
    std::printf("  received %d readings, %d in order: %s\n", rows, inOrder,
                rows == total && inOrder == total ? "all, in order" : "MISSING OR OUT OF ORDER");
    std::printf("  last reading shown %.0f ms after the last line was sent\n",
                (arrived - sendDone) / 1e6);
    std::printf("  event-loop turns: %zu; gap between turns, ms: median %.2f  99th percentile "
                "%.2f  worst %.2f\n",
                gaps.size(), gapMs(0.5), gapMs(0.99), worstGap / 1e6);

    action(*window, "actionStop")->trigger();
    window.reset();
    QFile::remove(dir + QStringLiteral("/options.xml"));
    return rows == total && inOrder == total ? 0 : 1;
}
