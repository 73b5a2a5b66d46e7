#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QPluginLoader>
#include <QProcess>
#include <QSerialPortInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "common/gaugeplugintest.h"
#include "dmmdata.h"
#include "idmm.h"
#include "imydmm.h"
#include "serialdeviceinf.h"
#include "serialrs232virinf.h"
#include "simgaugesettings.h"

namespace {

const QString Micrometre = QStringLiteral("\u03BCm");

// The gauge's state when close() is called.
enum GaugeState { Open, Closed, Opening };

using gaugetest::Settings;

} // namespace

// Takes what the gauge sends, in order, connected by signature text as the logger connects.
// It owns every reading it receives.
class Recorder : public QObject
{
    Q_OBJECT

public:
    struct Event
    {
        char kind; // 'd' display, 's' displayStore, 'n' storeNum
        int total;
        int num;
    };

    explicit Recorder(QObject *gauge)
    {
        QVERIFY(connect(gauge, SIGNAL(display(const DmmData *)), this,
                        SLOT(onDisplay(const DmmData *))));
        QVERIFY(connect(gauge, SIGNAL(displayStore(const DmmData *)), this,
                        SLOT(onDisplayStore(const DmmData *))));
        QVERIFY(connect(gauge, SIGNAL(storeNum(int, int)), this, SLOT(onStoreNum(int, int))));
        clock.start();
    }

    std::vector<Event> events;
    std::vector<std::unique_ptr<const DmmData>> live;
    std::vector<qint64> liveArrivalMs;
    std::vector<std::unique_ptr<const DmmData>> stored;
    std::function<void(int, int)> progressHook;
    bool downloadDone = false;
    QElapsedTimer clock;

    // The download's events, without the live readings.
    std::vector<Event> downloadEvents() const
    {
        std::vector<Event> result;
        for (const Event &event : events)
            if (event.kind != 'd')
                result.push_back(event);
        return result;
    }

public slots:
    void onDisplay(const DmmData *reading)
    {
        live.emplace_back(reading);
        liveArrivalMs.push_back(clock.elapsed());
        events.push_back({'d', 0, 0});
    }
    void onDisplayStore(const DmmData *reading)
    {
        stored.emplace_back(reading);
        events.push_back({'s', 0, 0});
    }
    void onStoreNum(int total, int num)
    {
        events.push_back({'n', total, num});
        downloadDone = num >= total;
        if (progressHook)
            progressHook(total, num);
    }
};

class TestSimGauge : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void interfaces();
    void openedArrivesFromEventLoop();
    void closeEmitsClosed_data();
    void closeEmitsClosed();
    void liveReadingsAtConfiguredRate_data();
    void liveReadingsAtConfiguredRate();
    void liveReadingsConsistent_data();
    void liveReadingsConsistent();
    void sameSeedSameReadings();
    void overloads();
    void storedReadings_data();
    void storedReadings();
    void closeStopsDownload();
    void fullSpeedDownloadKeepsEventLoopTurning();
    void downloadNeedsOpenGauge();
    void defaultsWithoutSettingsFile();
    void unusableSettingsAreReported();
    void readingsWithoutReceiverAreFreed();
    void settingsFile_data();
    void settingsFile();
    void defaultFileHoldsTheDefaults();
    void buildKeepsAnEditedFile();

private:
    void writeSettings(const Settings &settings) { gaugetest::writeIni(m_iniPath, settings); }
    void openAndWait() { gaugetest::openAndWait(m_dmm, m_gauge); }

    QObject *m_gauge = nullptr;
    IDmm *m_dmm = nullptr;
    IMyDmm *m_myDmm = nullptr;
    QString m_iniPath;
};

void TestSimGauge::initTestCase()
{
    QPluginLoader loader(QStringLiteral(SIMGAUGE_PATH));
    m_gauge = loader.instance();
    QVERIFY2(m_gauge, qPrintable(loader.errorString()));
    QCOMPARE(loader.metaData().value(QStringLiteral("IID")).toString(), QStringLiteral(IDmm_iid));
    m_dmm = qobject_cast<IDmm *>(m_gauge);
    m_myDmm = qobject_cast<IMyDmm *>(m_gauge);
    QVERIFY(m_dmm);
    QVERIFY(m_myDmm);

    const QString libDir = QCoreApplication::applicationDirPath() + QStringLiteral("/Lib");
    QVERIFY(QDir().mkpath(libDir));
    m_iniPath = libDir + QStringLiteral("/simgauge.ini");
}

void TestSimGauge::cleanup()
{
    m_dmm->close();
    QFile::remove(m_iniPath);
}

void TestSimGauge::interfaces()
{
    gaugetest::verifyInterfaces(m_gauge, {});

    auto *device = qobject_cast<SerialDeviceInf *>(m_gauge);
    auto *port = qobject_cast<SerialRS232VirInf *>(m_gauge);
    QVERIFY(device);
    QVERIFY(port);
    QCOMPARE(m_dmm->getObject(), m_gauge);
    QCOMPARE(device->getObject(), m_gauge);

    QVERIFY(port->findPort(0x0483, 0x5740).isNull());
    QVERIFY(port->isPortPresent(0x0483, 0x5740));
    QCOMPARE(device->portNames().size(), 1);
    QVERIFY(device->setPortName(device->portName()));
    QVERIFY(!device->setPortName(QStringLiteral("COM99")));
}

void TestSimGauge::openedArrivesFromEventLoop()
{
    writeSettings({{QStringLiteral("intervalMs"), 1000}});
    QSignalSpy opened(m_gauge, SIGNAL(opened()));
    QSignalSpy messages(m_gauge, SIGNAL(message(QString)));

    QVERIFY(!m_dmm->isOpen());
    QVERIFY(m_dmm->open(nullptr));
    QCOMPARE(opened.count(), 0);
    QVERIFY(m_dmm->isOpen());
    QVERIFY(opened.wait(30000));
    QCOMPARE(opened.count(), 1);
    QVERIFY(!messages.isEmpty());
    QVERIFY(messages.last().first().toString().contains(QStringLiteral("1000 ms")));
}

void TestSimGauge::closeEmitsClosed_data()
{
    QTest::addColumn<int>("state");
    QTest::newRow("open") << int(Open);
    QTest::newRow("already closed") << int(Closed);
    QTest::newRow("opening, opened() still pending") << int(Opening);
}

void TestSimGauge::closeEmitsClosed()
{
    QFETCH(int, state);
    if (state == Open)
        openAndWait();
    if (state == Opening)
        QVERIFY(m_dmm->open(nullptr));
    QSignalSpy opened(m_gauge, SIGNAL(opened()));
    QSignalSpy closed(m_gauge, SIGNAL(closed()));

    m_dmm->close();
    QCOMPARE(closed.count(), 1);
    QVERIFY(!m_dmm->isOpen());
    QTest::qWait(50);
    QCOMPARE(opened.count(), 0);
}

void TestSimGauge::liveReadingsAtConfiguredRate_data()
{
    QTest::addColumn<int>("intervalMs");
    QTest::newRow("40 ms") << 40;
    QTest::newRow("150 ms") << 150;
}

void TestSimGauge::liveReadingsAtConfiguredRate()
{
    QFETCH(int, intervalMs);
    writeSettings({{QStringLiteral("intervalMs"), intervalMs}});
    Recorder recorder(m_gauge);
    // A timer of the configured interval, started when the gauge says it is open, as the gauge
    // starts its own. A loaded machine delays both alike, so the readings keep pace with its ticks
    // however late each of them comes.
    QTimer reference;
    reference.setTimerType(Qt::PreciseTimer);
    reference.setInterval(intervalMs);
    int ticks = 0;
    connect(&reference, &QTimer::timeout, &reference, [&ticks] { ++ticks; });
    QVERIFY(connect(m_gauge, SIGNAL(opened()), &reference, SLOT(start())));
    openAndWait();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.live.size() >= 8, 20 * intervalMs + 30000);

    const int readings = int(recorder.live.size());
    const double span = recorder.liveArrivalMs[7] - recorder.liveArrivalMs[0];
    QVERIFY2(std::abs(readings - ticks) <= 1,
             qPrintable(QStringLiteral("%1 readings in %2 ticks; 7 intervals took %3 ms")
                            .arg(readings)
                            .arg(ticks)
                            .arg(span)));
}

void TestSimGauge::liveReadingsConsistent_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("basis");
    QTest::addColumn<double>("nominal");
    QTest::addColumn<QString>("unitText");
    QTest::addColumn<QString>("basisText");

    QTest::newRow("micrometres on steel") << "um"
                                          << "Fe" << 120.0 << Micrometre << "Fe";
    QTest::newRow("mils on aluminium") << "mil"
                                       << "NFe" << 4.7 << "mil"
                                       << "NFe";
    QTest::newRow("written as on the gauge") << Micrometre << "nfe" << 80.0 << Micrometre << "NFe";
}

void TestSimGauge::liveReadingsConsistent()
{
    QFETCH(QString, unit);
    QFETCH(QString, basis);
    QFETCH(double, nominal);
    QFETCH(QString, unitText);
    QFETCH(QString, basisText);
    const double spread = nominal / 20;
    writeSettings({{QStringLiteral("intervalMs"), 10},
                   {QStringLiteral("unit"), unit},
                   {QStringLiteral("basis"), basis},
                   {QStringLiteral("nominal"), nominal},
                   {QStringLiteral("spread"), spread},
                   {QStringLiteral("seed"), 11},
                   {QStringLiteral("overloadEvery"), 0}});
    Recorder recorder(m_gauge);
    const QDateTime before = QDateTime::currentDateTime();
    openAndWait();
    QTRY_VERIFY(recorder.live.size() >= 30);

    QSet<QString> texts;
    for (const auto &reading : recorder.live) {
        QCOMPARE(reading->unit(), unitText);
        QCOMPARE(reading->basis(), basisText);
        QVERIFY(reading->time() >= before.addMSecs(-1));
        QVERIFY(reading->time() <= QDateTime::currentDateTime());
        QVERIFY(qFuzzyCompare(reading->umValue(), reading->milValue() * 25.4));
        QCOMPARE(reading->umText(), QString::number(reading->umValue(), 'f', 0));
        QCOMPARE(reading->milText(), QString::number(reading->milValue(), 'f', 2));
        // The value in the selected unit is exactly what the gauge displays.
        if (unitText == Micrometre)
            QCOMPARE(reading->umText().toDouble(), reading->umValue());
        else
            QCOMPARE(reading->milText().toDouble(), reading->milValue());
        const double value = unitText == Micrometre ? reading->umValue() : reading->milValue();
        QVERIFY2(std::abs(value - nominal) <= 5 * spread, qPrintable(QString::number(value)));
        texts.insert(reading->umText());
    }
    QVERIFY2(texts.size() >= 3, "readings do not scatter");
}

void TestSimGauge::sameSeedSameReadings()
{
    const auto run = [this](int seed) {
        writeSettings({{QStringLiteral("intervalMs"), 10}, {QStringLiteral("seed"), seed}});
        Recorder recorder(m_gauge);
        openAndWait();
        QStringList texts;
        if (!QTest::qWaitFor([&] { return recorder.live.size() >= 15; }, 5000))
            return texts;
        m_dmm->close();
        for (std::size_t i = 0; i < 15; ++i)
            texts << recorder.live[i]->umText();
        return texts;
    };
    const QStringList first = run(1234);
    QCOMPARE(first.size(), 15);
    QCOMPARE(run(1234), first);
    QVERIFY(run(4321) != first);
}

void TestSimGauge::overloads()
{
    writeSettings({{QStringLiteral("intervalMs"), 10}, {QStringLiteral("overloadEvery"), 3}});
    Recorder recorder(m_gauge);
    openAndWait();
    QTRY_VERIFY(recorder.live.size() >= 12);

    int overloadsSeen = 0;
    for (std::size_t i = 0; i < 12; ++i) {
        const DmmData &reading = *recorder.live[i];
        if ((i + 1) % 3 != 0) {
            QVERIFY(!reading.umText().contains(QStringLiteral("OL")));
            QVERIFY(reading.umValue() > 0);
            continue;
        }
        // Over range alternates between the positive and the negative side.
        const QString text = overloadsSeen++ % 2 == 0 ? "    OL" : "   -OL";
        QCOMPARE(reading.umText(), text);
        QCOMPARE(reading.milText(), text);
        QCOMPARE(reading.umValue(), 0.0);
        QCOMPARE(reading.milValue(), 0.0);
    }
    QCOMPARE(overloadsSeen, 4);
}

void TestSimGauge::storedReadings_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("empty memory") << 0;
    QTest::newRow("one reading") << 1;
    QTest::newRow("exactly one turn") << 200;
    QTest::newRow("several turns") << 450;
}

void TestSimGauge::storedReadings()
{
    QFETCH(int, count);
    writeSettings({{QStringLiteral("storedReadings"), 5},
                   {QStringLiteral("seed"), 99},
                   {QStringLiteral("intervalMs"), 20}});
    openAndWait();
    // The memory size is read when the download starts, not at open.
    writeSettings({{QStringLiteral("storedReadings"), count},
                   {QStringLiteral("seed"), 99},
                   {QStringLiteral("intervalMs"), 20},
                   {QStringLiteral("overloadEvery"), 0}});
    Recorder recorder(m_gauge);

    const qint64 requestedMs = QDateTime::currentMSecsSinceEpoch();
    QVERIFY(m_myDmm->requestStoredData());
    const qint64 acceptedMs = QDateTime::currentMSecsSinceEpoch();
    QVERIFY(recorder.events.empty());
    QTRY_VERIFY(recorder.downloadDone);

    // Each stored reading is followed by the progress that counts it; no live readings between.
    const std::vector<Recorder::Event> &events = recorder.events;
    if (count == 0) {
        QCOMPARE(events.size(), std::size_t(1));
        QCOMPARE(events[0].total, 0);
        QCOMPARE(events[0].num, 0);
    } else {
        QVERIFY(events.size() >= std::size_t(2 * count));
    }
    for (int i = 0; i < count; ++i) {
        QCOMPARE(events[2 * i].kind, 's');
        QCOMPARE(events[2 * i + 1].kind, 'n');
        QCOMPARE(events[2 * i + 1].total, count);
        QCOMPARE(events[2 * i + 1].num, i + 1);
    }
    QCOMPARE(recorder.stored.size(), std::size_t(count));

    // Taken in the past, a few seconds apart, the newest when the memory was asked for, each at
    // the offset the local zone had then.
    for (int i = 0; i < count; ++i) {
        const QDateTime time = recorder.stored[i]->time();
        QCOMPARE(time.offsetFromUtc(),
                 QDateTime::fromMSecsSinceEpoch(time.toMSecsSinceEpoch()).offsetFromUtc());
        if (i == 0)
            continue;
        const qint64 gap = recorder.stored[i - 1]->time().secsTo(time);
        QVERIFY(gap >= 1 && gap <= 10);
    }
    if (count > 0) {
        const qint64 newestMs = recorder.stored.back()->time().toMSecsSinceEpoch();
        QVERIFY2(newestMs >= requestedMs && newestMs <= acceptedMs,
                 qPrintable(QStringLiteral("%1 not within %2 to %3")
                                .arg(newestMs)
                                .arg(requestedMs)
                                .arg(acceptedMs)));
    }
    if (count >= 200) {
        double sum = 0;
        for (const auto &reading : recorder.stored)
            sum += reading->umValue();
        QVERIFY(std::abs(sum / count - 120.0) < 2.0);
    }

    // Live readings resume once the memory is sent.
    QTRY_VERIFY(!recorder.live.empty());
}

void TestSimGauge::closeStopsDownload()
{
    writeSettings({{QStringLiteral("storedReadings"), 100000}, {QStringLiteral("intervalMs"), 20}});
    openAndWait();
    Recorder recorder(m_gauge);
    recorder.progressHook = [this](int, int num) {
        if (num == 300)
            m_dmm->close();
    };
    QSignalSpy closed(m_gauge, SIGNAL(closed()));

    QVERIFY(m_myDmm->requestStoredData());
    QTRY_COMPARE(closed.count(), 1);
    QTest::qWait(100);
    QCOMPARE(recorder.stored.size(), std::size_t(300));
    QCOMPARE(recorder.downloadEvents().back().num, 300);
    QVERIFY(recorder.live.empty());
}

void TestSimGauge::fullSpeedDownloadKeepsEventLoopTurning()
{
    const int count = 100000;
    writeSettings({{QStringLiteral("storedReadings"), count}});
    openAndWait();
    Recorder recorder(m_gauge);
    // A zero-delay timer stands for the repaints and input of the GUI.
    int mostBetweenTurns = 0;
    int sinceTurn = 0;
    recorder.progressHook = [&](int, int) {
        mostBetweenTurns = std::max(mostBetweenTurns, ++sinceTurn);
    };
    QTimer turn;
    turn.setInterval(0);
    connect(&turn, &QTimer::timeout, &turn, [&] { sinceTurn = 0; });
    turn.start();

    QElapsedTimer clock;
    clock.start();
    QVERIFY(m_myDmm->requestStoredData());
    QTRY_VERIFY_WITH_TIMEOUT(recorder.downloadDone, 60000);
    qInfo("%d stored readings in %lld ms", count, clock.elapsed());
    QCOMPARE(recorder.stored.size(), std::size_t(count));
    QVERIFY2(mostBetweenTurns <= 200, qPrintable(QString::number(mostBetweenTurns)));
}

void TestSimGauge::downloadNeedsOpenGauge()
{
    Recorder recorder(m_gauge);
    QVERIFY(!m_myDmm->requestStoredData());
    QTest::qWait(50);
    QVERIFY(recorder.events.empty());
}

void TestSimGauge::defaultsWithoutSettingsFile()
{
    QFile::remove(m_iniPath);
    Recorder recorder(m_gauge);
    QSignalSpy messages(m_gauge, SIGNAL(message(QString)));
    openAndWait();
    QVERIFY(messages.first().first().toString().contains(m_iniPath));
    QTRY_VERIFY_WITH_TIMEOUT(!recorder.live.empty(), 30000);
    QCOMPARE(recorder.live[0]->unit(), Micrometre);
    QCOMPARE(recorder.live[0]->basis(), QStringLiteral("Fe"));

    QVERIFY(m_myDmm->requestStoredData());
    QTRY_VERIFY(recorder.downloadDone);
    QCOMPARE(recorder.downloadEvents().back().total, 200);
    QCOMPARE(recorder.stored.size(), std::size_t(200));
    // Every 50th reading is over range.
    int overloads = 0;
    for (const auto &reading : recorder.stored)
        overloads += reading->umText().endsWith(QStringLiteral("OL")) ? 1 : 0;
    QCOMPARE(overloads, 4);
}

void TestSimGauge::unusableSettingsAreReported()
{
    writeSettings({{QStringLiteral("intervalMs"), QStringLiteral("fast")},
                   {QStringLiteral("storedReadings"), -5},
                   {QStringLiteral("unit"), QStringLiteral("inch")},
                   {QStringLiteral("spread"), -1}});
    QSignalSpy messages(m_gauge, SIGNAL(message(QString)));
    openAndWait();
    QStringList texts;
    for (const auto &arguments : messages)
        texts << arguments.first().toString();
    const QString all = texts.join('\n');
    for (const char *key : {"intervalMs", "storedReadings", "unit", "spread"})
        QVERIFY2(all.contains(QLatin1String(key)), qPrintable(all));

    // A negative memory size counts as empty.
    Recorder recorder(m_gauge);
    QVERIFY(m_myDmm->requestStoredData());
    QTRY_VERIFY(recorder.downloadDone);
    QTest::qWait(50);
    QCOMPARE(recorder.downloadEvents().size(), std::size_t(1));
    QCOMPARE(recorder.downloadEvents()[0].total, 0);
}

void TestSimGauge::readingsWithoutReceiverAreFreed()
{
    // Nobody takes these readings: the gauge must delete them itself (checked by LeakSanitizer).
    writeSettings({{QStringLiteral("intervalMs"), 10}, {QStringLiteral("storedReadings"), 300}});
    openAndWait();
    QSignalSpy progress(m_gauge, SIGNAL(storeNum(int, int)));
    QVERIFY(m_myDmm->requestStoredData());
    QTRY_COMPARE(progress.count(), 300);
    QTest::qWait(100);
}

void TestSimGauge::settingsFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("used");
    QTest::addColumn<QString>("warning"); // empty: none

    QTest::newRow("unit in UTF-8")
        << QByteArray("unit=\xce\xbcm\nnominal=4") << "nominal" << QVariant(4.0) << QString();
    QTest::newRow("unit as micro sign")
        << QByteArray("unit=\xc2\xb5m\nbasis=NFe") << "basis" << QVariant("NFe") << QString();
    QTest::newRow("Latin-1 file") << QByteArray("unit=\xb5m\nintervalMs=20") << "intervalMs"
                                  << QVariant(20) << "not UTF-8, read as Latin-1";
    QTest::newRow("mil") << QByteArray("unit=mil\nspread=0.5") << "micrometres" << QVariant(false)
                         << QString();
    QTest::newRow("huge nominal") << QByteArray("nominal=1e308") << "nominal" << QVariant(10000.0)
                                  << "nominal limited to 0 to 10000, 10000 used";
    QTest::newRow("huge nominal in mil")
        << QByteArray("unit=mil\nnominal=1e308") << "nominal" << QVariant(400.0)
        << "nominal limited to 0 to 400, 400 used";
    QTest::newRow("huge spread") << QByteArray("spread=1e308") << "spread" << QVariant(1000.0)
                                 << "spread limited to 0 to 1000, 1000 used";
    QTest::newRow("negative spread") << QByteArray("spread=-1") << "spread" << QVariant(0.0)
                                     << "spread limited to 0 to 1000, 0 used";
    QTest::newRow("infinite nominal")
        << QByteArray("nominal=inf") << "nominal" << QVariant(10000.0) << "nominal limited";
    QTest::newRow("nominal not a number") << QByteArray("nominal=nan") << "nominal"
                                          << QVariant(120.0) << "nominal is not a number, 120 used";
    QTest::newRow("spread follows the nominal")
        << QByteArray("nominal=200\nspread=x") << "spread" << QVariant(10.0)
        << "spread is not a number, 10 used";
    QTest::newRow("integer beyond the range")
        << QByteArray("storedReadings=99999999999999999999999") << "storedReadings"
        << QVariant(1000000) << "storedReadings limited to 0 to 1000000, 1000000 used";
    QTest::newRow("negative beyond the range")
        << QByteArray("intervalMs=-99999999999999999999999") << "intervalMs" << QVariant(10)
        << "intervalMs limited to 10 to 3600000, 10 used";
    QTest::newRow("negative count")
        << QByteArray("storedReadings=-5") << "storedReadings" << QVariant(0)
        << "storedReadings limited to 0 to 1000000, 0 used";
    QTest::newRow("not a whole number")
        << QByteArray("intervalMs=2.5") << "intervalMs" << QVariant(500)
        << "intervalMs is not a whole number, 500 used";
    QTest::newRow("unknown unit") << QByteArray("unit=inch") << "micrometres" << QVariant(true)
                                  << "unit is um or mil, um used";
    QTest::newRow("binary file") << QByteArray("\x7f"
                                               "ELF\x02\x01\x01\0\0\0intervalMs=20",
                                               20)
                                 << "intervalMs" << QVariant(500)
                                 << "not a text file, every default used";
}

void TestSimGauge::settingsFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, field);
    QFETCH(QVariant, used);
    QFETCH(QString, warning);

    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("simgauge.ini"));
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[General]\n" + contents + "\n");
    file.close();

    const SimGaugeSettings s = SimGaugeSettings::load(fileName);
    const QVariantMap fields{{"intervalMs", s.intervalMs},   {"storedReadings", s.storedReadings},
                             {"micrometres", s.micrometres}, {"basis", s.basis},
                             {"nominal", s.nominal},         {"spread", s.spread}};
    QCOMPARE(fields.value(field), used);
    QVERIFY(std::isfinite(s.nominal) && std::isfinite(s.spread));
    if (warning.isEmpty())
        QVERIFY2(s.warnings.isEmpty(), qPrintable(s.warnings.join('\n')));
    else
        QVERIFY2(s.warnings.join('\n').contains(warning), qPrintable(s.warnings.join('\n')));
}

void TestSimGauge::defaultFileHoldsTheDefaults()
{
    const SimGaugeSettings defaults;
    const SimGaugeSettings s = SimGaugeSettings::load(QStringLiteral(SIMGAUGE_INI));
    QVERIFY(s.fileFound);
    QVERIFY2(s.warnings.isEmpty(), qPrintable(s.warnings.join('\n')));
    QCOMPARE(s.intervalMs, defaults.intervalMs);
    QCOMPARE(s.storedReadings, defaults.storedReadings);
    QCOMPARE(s.micrometres, defaults.micrometres);
    QCOMPARE(s.basis, defaults.basis);
    QCOMPARE(s.nominal, defaults.nominal);
    QCOMPARE(s.spread, defaults.spread);
    QCOMPARE(s.overloadEvery, defaults.overloadEvery);
    QCOMPARE(s.seed, defaults.seed);

    // Every key is named in the file, set or commented out.
    QFile file(QStringLiteral(SIMGAUGE_INI));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    for (const char *key : {"intervalMs=", "storedReadings=", "unit=", "basis=", "nominal=",
                            "spread=", "overloadEvery=", "seed="})
        QVERIFY2(text.contains(QLatin1String(key)), key);
}

void TestSimGauge::buildKeepsAnEditedFile()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("simgauge.ini"));
    const auto runBuildStep = [&]() {
        QProcess cmake;
        cmake.start(QStringLiteral(CMAKE_COMMAND),
                    {QStringLiteral("-DSOURCE=" SIMGAUGE_INI), QStringLiteral("-DTARGET=") + target,
                     QStringLiteral("-P"), QStringLiteral(COPY_IF_MISSING)});
        return cmake.waitForFinished(60000) && cmake.exitCode() == 0;
    };
    QVERIFY(runBuildStep());
    QFile source(QStringLiteral(SIMGAUGE_INI));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QFile written(target);
    QVERIFY(written.open(QIODevice::ReadWrite));
    QCOMPARE(written.readAll(), source.readAll());

    written.resize(0);
    written.write("[General]\nintervalMs=20\n");
    written.close();
    QVERIFY(runBuildStep());
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("[General]\nintervalMs=20\n"));
}

QTEST_GUILESS_MAIN(TestSimGauge)

#include "tst_simgauge.moc"
