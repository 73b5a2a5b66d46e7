// The logger's real window with the simulated gauge, driven without a user so that a test can kill
// it at any moment: it presses Connect and then Start (argument "live") or Download ("download"),
// and prints one line per reading the window has taken: the monotonic clock in milliseconds and
// the number of readings so far. Each line is flushed before the next reading is handled. With
// "exclude" it starts as "live" does and excludes each reading from the table before its line.

#include <cstdio>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPluginLoader>
#include <QTimer>

#include "readingexclusion.h"
#include "widget.h"

class DmmData;

namespace {

// The system's monotonic clock, the same in every process.
qint64 monotonicMs()
{
    QElapsedTimer clock;
    clock.start();
    return clock.msecsSinceReference();
}

// The gauge's root object: the very instance the window binds when it scans Lib.
QObject *findGauge()
{
    const QDir lib(QCoreApplication::applicationDirPath() + QStringLiteral("/Lib"));
    for (const QFileInfo &entry : lib.entryInfoList(QDir::Files)) {
        QPluginLoader loader(entry.absoluteFilePath());
        QObject *instance = loader.instance();
        if (instance && instance->metaObject()->indexOfSignal("display(const DmmData*)") >= 0)
            return instance;
    }
    return nullptr;
}

} // namespace

class ReadingLog : public QObject
{
    Q_OBJECT

public:
    ReadingExclusion *exclusions = nullptr;

public slots:
    void taken(const DmmData *)
    {
        if (exclusions)
            exclusions->setExcluded({m_count}, QStringLiteral("Probe lifted or tilted"));
        std::printf("%lld %d\n", static_cast<long long>(monotonicMs()), ++m_count);
        std::fflush(stdout);
    }

private:
    int m_count = 0;
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool download = app.arguments().value(1) == QLatin1String("download");

    Widget window;
    window.show();
    QObject *gauge = findGauge();
    if (!gauge) {
        std::fprintf(stderr, "no gauge in Lib\n");
        return 1;
    }
    // Connected after the window's own slot: a line is printed once the window has the reading.
    ReadingLog log;
    if (app.arguments().value(1) == QLatin1String("exclude"))
        log.exclusions = window.findChild<ReadingExclusion *>();
    if (download)
        QObject::connect(gauge, SIGNAL(displayStore(const DmmData *)), &log,
                         SLOT(taken(const DmmData *)));
    else
        QObject::connect(gauge, SIGNAL(display(const DmmData *)), &log,
                         SLOT(taken(const DmmData *)));

    auto *disconnect = window.findChild<QAction *>(QStringLiteral("actionDisconnect"));
    auto *go = window.findChild<QAction *>(download ? QStringLiteral("actionItemDownload")
                                                    : QStringLiteral("actionStart"));
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!disconnect->isEnabled())
            return;
        poll.stop();
        go->trigger();
    });
    window.findChild<QAction *>(QStringLiteral("actionConnect"))->trigger();
    poll.start();
    return app.exec();
}

#include "main.moc"
