#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPluginLoader>
#include <QProcess>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include "common/gaugeplugintest.h"
#include "dmmdata.h"
#include "idmm.h"
#include "igaugerange.h"
#include "imydmm.h"
#include "ptypair.h"
#include "serialdeviceinf.h"
#include "serialrs232virinf.h"

namespace {

const QString Micrometre = QStringLiteral("\u03BCm");
const QString OL = QStringLiteral("    OL");
const QString MinusOL = QStringLiteral("   -OL");

using gaugetest::Settings;

} // namespace

// Takes what the gauge sends, connected by signature text as the logger connects; owns every
// reading it receives.
class Recorder : public QObject
{
    Q_OBJECT

public:
    struct Progress
    {
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
        QVERIFY(connect(gauge, SIGNAL(message(QString)), this, SLOT(onMessage(QString))));
        QVERIFY(connect(gauge, SIGNAL(closed()), this, SLOT(onClosed())));
    }

    std::vector<std::unique_ptr<const DmmData>> live;
    std::vector<std::unique_ptr<const DmmData>> stored;
    std::vector<Progress> progress;
    QStringList messages;
    int liveWhenClosed = -1;
    std::function<void()> readingHook;

    bool downloadDone() const
    {
        return !progress.empty() && progress.back().num >= progress.back().total;
    }

public slots:
    void onDisplay(const DmmData *reading)
    {
        live.emplace_back(reading);
        if (readingHook)
            readingHook();
    }
    void onDisplayStore(const DmmData *reading) { stored.emplace_back(reading); }
    void onStoreNum(int total, int num) { progress.push_back({total, num}); }
    void onMessage(const QString &text) { messages << text; }
    void onClosed() { liveWhenClosed = int(live.size()); }
};

class TestSerialGauge : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void interfaces();
    void portPresence_data();
    void portPresence();
    void bindingSaysWhatIsWrong_data();
    void bindingSaysWhatIsWrong();
    void openFailures_data();
    void openFailures();
    void othersCannotOpenThePortWhileOpen();
    void openedArrivesFromEventLoop();
    void liveLines_data();
    void liveLines();
    void downloadWithAnnouncedCount();
    void downloadWithoutCount_data();
    void downloadWithoutCount();
    void downloadStoppedShort_data();
    void downloadStoppedShort();
    void badInputIsCountedNotLost();
    void pulledCable();
    void pulledDuringABurst();
    void receiverClosesDuringABurst();
    void closeWhenClosedEmitsClosed();

private:
    void writeSettings(const Settings &extra);
    void openAndWait() { gaugetest::openAndWait(m_dmm, m_gauge); }

    QObject *m_gauge = nullptr;
    IDmm *m_dmm = nullptr;
    IMyDmm *m_myDmm = nullptr;
    QString m_iniPath;
    std::unique_ptr<PtyPair> m_pty;
};

void TestSerialGauge::initTestCase()
{
    QPluginLoader loader(QStringLiteral(SERIALGAUGE_PATH));
    m_gauge = loader.instance();
    QVERIFY2(m_gauge, qPrintable(loader.errorString()));
    m_dmm = qobject_cast<IDmm *>(m_gauge);
    m_myDmm = qobject_cast<IMyDmm *>(m_gauge);
    QVERIFY(m_dmm && m_myDmm);
    const QString libDir = QCoreApplication::applicationDirPath() + QStringLiteral("/Lib");
    QVERIFY(QDir().mkpath(libDir));
    m_iniPath = libDir + QStringLiteral("/serialgauge.ini");
}

void TestSerialGauge::init()
{
    m_pty = std::make_unique<PtyPair>();
    QVERIFY(m_pty->isOpen());
    writeSettings({});
}

void TestSerialGauge::cleanup()
{
    m_dmm->close();
    m_pty.reset();
    QFile::remove(m_iniPath);
}

void TestSerialGauge::writeSettings(const Settings &extra)
{
    gaugetest::writeIni(m_iniPath, Settings{{QStringLiteral("port"), m_pty->slaveName()},
                                            {QStringLiteral("baudRate"), 9600}} +
                                       extra);
}

void TestSerialGauge::interfaces()
{
    gaugetest::verifyInterfaces(m_gauge, {"com.qd.IDeviceOptions", "com.qd.IGaugeRange"});
    auto *device = qobject_cast<SerialDeviceInf *>(m_gauge);
    QCOMPARE(device->getObject(), m_gauge);
    QCOMPARE(m_dmm->getObject(), m_gauge);
    QCOMPARE(device->portName(), m_pty->slaveName());
    QVERIFY(device->setPortName(QStringLiteral("ttyS7")));
    QCOMPARE(device->portName(), QStringLiteral("ttyS7"));
}

void TestSerialGauge::portPresence_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("present");
    const bool gaugePlugged = std::any_of(
        QSerialPortInfo::availablePorts().cbegin(), QSerialPortInfo::availablePorts().cend(),
        [](const QSerialPortInfo &info) {
            return info.vendorIdentifier() == 0x0483 && info.productIdentifier() == 0x5740;
        });
    QTest::newRow("auto: the gauge's USB port") << "auto" << gaugePlugged;
    QTest::newRow("a pseudo-terminal") << "" << true;
    QTest::newRow("a missing port") << "/dev/ttyNoSuchPort" << false;
}

void TestSerialGauge::portPresence()
{
    QFETCH(QString, port);
    QFETCH(bool, present);
    if (!port.isEmpty())
        writeSettings({{QStringLiteral("port"), port}});
    auto *rs232 = qobject_cast<SerialRS232VirInf *>(m_gauge);
    QCOMPARE(rs232->isPortPresent(0x0483, 0x5740), present);
    QCOMPARE(!rs232->findPort(0x0483, 0x5740).isNull(), port == QLatin1String("auto") && present);
}

void TestSerialGauge::bindingSaysWhatIsWrong_data()
{
    // Said as soon as the logger listens to the gauge, before anyone presses Connect.
    QTest::addColumn<QByteArray>("content"); // the settings file; empty: the pseudo-terminal's
    QTest::addColumn<QStringList>("said");
    QTest::newRow("all well") << QByteArray() << QStringList();
    QTest::newRow("a port that is not there")
        << QByteArray("[General]\nport=/dev/ttyNoSuchPort\n")
        << QStringList{"Serial gauge: the port /dev/ttyNoSuchPort is not there; Connect is enabled "
                       "once it is."};
    QTest::newRow("random bytes")
        << QByteArray("\x8f\x03port=\x00\x9a\xfe[General\x01\n", 16)
        << QStringList{"the content is not text; the default settings are used instead",
                       "no gauge port (USB 0483:5740) is present"};
}

void TestSerialGauge::bindingSaysWhatIsWrong()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, said);
    if (!content.isEmpty()) {
        QFile file(m_iniPath);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    const bool gaugePlugged =
        !qobject_cast<SerialRS232VirInf *>(m_gauge)->findPort(0x0483, 0x5740).isNull();
    if (gaugePlugged && content.startsWith('\x8f'))
        QSKIP("a gauge is plugged in: the default port is there");
    Recorder recorder(m_gauge);
    QObject logger;
    QVERIFY(connect(m_gauge, SIGNAL(usbRefreshed()), &logger, SLOT(deleteLater())));
    // What the gauge has to say comes from the event loop's next turn, all at once.
    QCoreApplication::processEvents();
    QCOMPARE(recorder.messages.size(), said.size());
    for (int i = 0; i < said.size(); ++i)
        QVERIFY2(recorder.messages.at(i).contains(said.at(i)), qPrintable(recorder.messages.at(i)));
    if (!content.isEmpty()) // the file, named
        QVERIFY(recorder.messages.first().contains(m_iniPath) ||
                recorder.messages.first().contains(QStringLiteral("/dev/ttyNoSuchPort")));
}

void TestSerialGauge::openFailures_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("holder"); // who has the port open: a locking port, a program
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing port") << "/dev/ttyNoSuchPort"
                                  << ""
                                  << ""
                                  << "cannot open /dev/ttyNoSuchPort";
    QTest::newRow("in use by another program") << ""
                                               << ""
                                               << "port"
                                               << "is in use by another program; close it";
    QTest::newRow("held by a program without a lock file")
        << ""
        << ""
        << "program"
        << "is in use by another program (sleep (process ";
    QTest::newRow("a line format without a value") << ""
                                                   << "^(\\d+)$"
                                                   << ""
                                                   << "value";
}

void TestSerialGauge::openFailures()
{
    QFETCH(QString, port);
    QFETCH(QString, pattern);
    QFETCH(QString, holder);
    QFETCH(QString, reason);
    Settings settings;
    if (!port.isEmpty())
        settings << qMakePair(QStringLiteral("port"), QVariant(port));
    if (!pattern.isEmpty())
        settings << qMakePair(QStringLiteral("format"), QVariant(QStringLiteral("custom")))
                 << qMakePair(QStringLiteral("pattern"), QVariant(pattern));
    writeSettings(settings);
    QSerialPort other(m_pty->slaveName());
    if (holder == QLatin1String("port"))
        QVERIFY(other.open(QIODevice::ReadWrite));
    // A program that reads the port as its input, with neither lock file nor exclusive access.
    QProcess program;
    if (holder == QLatin1String("program")) {
        program.setStandardInputFile(m_pty->slaveName());
        program.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(program.waitForStarted());
    }

    Recorder recorder(m_gauge);
    QSignalSpy opened(m_gauge, SIGNAL(opened()));
    QVERIFY(!m_dmm->open(nullptr));
    QVERIFY(!m_dmm->isOpen());
    QVERIFY(!opened.wait(100));
    QCOMPARE(recorder.messages.size(), 1);
    QVERIFY2(recorder.messages.first().contains(reason), qPrintable(recorder.messages.first()));
}

void TestSerialGauge::othersCannotOpenThePortWhileOpen()
{
    openAndWait();
    // Refused to others; the superuser may still open the port, but sees it taken.
    const int fd =
        ::open(QFile::encodeName(m_pty->slaveName()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        QCOMPARE(errno, EBUSY);
        return;
    }
    int exclusive = 0;
    QCOMPARE(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
    ::close(fd);
    QCOMPARE(exclusive, 1);
}

void TestSerialGauge::openedArrivesFromEventLoop()
{
    QSignalSpy opened(m_gauge, SIGNAL(opened()));
    QVERIFY(m_dmm->open(nullptr));
    QVERIFY(m_dmm->isOpen());
    QCOMPARE(opened.count(), 0);
    QVERIFY(opened.wait(30000));
}

void TestSerialGauge::liveLines_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QStringList>("shown"); // text in the reading's unit, the unit, the basis
    QTest::addColumn<QString>("rangeUm");   // empty: not set, the gauge then reaches 1250 μm

    QTest::newRow("the README's gauge: \"  125 um\" lines")
        << "any"
        << "um" << QByteArray("  125 um\r\n  131 um\r\n   OL um\r\n")
        << QStringList{"125 μm ", "131 μm ", "    OL μm "} << "";
    QTest::newRow("signed and zero-padded")
        << "signed"
        << "um" << QByteArray("+0123.4 um\r\n-0001.0 um\r\n-OL\r\n")
        << QStringList{"123.4 μm ", "-1.0 μm ", "   -OL μm "} << "5000";
    QTest::newRow("micro sign and basis")
        << "unitbasis"
        << "um" << QByteArray("123 \xc2\xb5m Fe\n80 \xb5m NFe\nOV\n")
        << QStringList{"123 μm Fe", "80 μm NFe", "    OL μm "} << "";
    QTest::newRow("mils") << "mil"
                          << "mil" << QByteArray("4.92 mil\n5.10 mils\nOL mil\n")
                          << QStringList{"4.92 mil ", "5.10 mil ", "    OL mil "} << "2000";
    QTest::newRow("as instrument manuals write them")
        << "any"
        << "um"
        << QByteArray("125 microns\r\n125 micron Fe\r\n+0000.125 , MM\r\n0.0049 in\r\n"
                      "1.25E2 um\r\n#12 125 um\r\nNFe 80 um\r\n")
        << QStringList{"125 μm ", "125 μm Fe", "125 μm ",  "4.9 mil ",
                       "125 μm ", "125 μm ",   "80 μm NFe"}
        << "";
    QTest::newRow("bare numbers in mils")
        << "number"
        << "mil" << QByteArray("4.9\r5\r") << QStringList{"4.9 mil ", "5 mil "} << "";
}

void TestSerialGauge::liveLines()
{
    QFETCH(QString, format);
    QFETCH(QString, unit);
    QFETCH(QByteArray, lines);
    QFETCH(QStringList, shown);
    QFETCH(QString, rangeUm);
    Settings settings{{QStringLiteral("format"), format}, {QStringLiteral("unit"), unit}};
    if (!rangeUm.isEmpty())
        settings.append({QStringLiteral("rangeUm"), rangeUm});
    writeSettings(settings);
    Recorder recorder(m_gauge);
    openAndWait();
    QCOMPARE(qobject_cast<IGaugeRange *>(m_gauge)->rangeUm(),
             rangeUm.isEmpty() ? 1250.0 : rangeUm.toDouble());
    const QDateTime before = QDateTime::currentDateTime();
    QVERIFY(m_pty->send(lines));
    QTRY_COMPARE(int(recorder.live.size()), shown.size());

    QStringList got;
    for (const auto &reading : recorder.live) {
        const bool micrometres = reading->unit() == Micrometre;
        got << QStringLiteral("%1 %2 %3")
                   .arg(micrometres ? reading->umText() : reading->milText(), reading->unit(),
                        reading->basis());
        QVERIFY(reading->time() >= before.addMSecs(-1));
        if (reading->overload() == 0) {
            QCOMPARE(reading->umValue(), reading->milValue() * 25.4);
            // The other unit is derived, at 1 μm or 0.01 mil.
            if (micrometres)
                QCOMPARE(reading->milText(), QString::number(reading->milValue(), 'f', 2));
            else
                QCOMPARE(reading->umText(), QString::number(reading->umValue(), 'f', 0));
        } else {
            QCOMPARE(reading->umValue(), 0.0);
            QCOMPARE(reading->umText(), reading->milText());
            QVERIFY(reading->umText() == OL || reading->umText() == MinusOL);
        }
    }
    QCOMPARE(got, shown);
    QVERIFY2(recorder.messages.filter(QStringLiteral("not understood")).isEmpty(),
             qPrintable(recorder.messages.join('\n')));
}

void TestSerialGauge::downloadWithAnnouncedCount()
{
    writeSettings({{QStringLiteral("memoryCommand"), QStringLiteral("PRINT\\r\\n")}});
    Recorder recorder(m_gauge);
    openAndWait();
    QVERIFY(m_pty->send("100 um\n"));
    QTRY_COMPARE(int(recorder.live.size()), 1);

    QVERIFY(m_myDmm->requestStoredData());
    QVERIFY(recorder.progress.empty());
    QCOMPARE(m_pty->receive(7, 30000), QByteArray("PRINT\r\n"));
    QVERIFY(m_pty->send("N=3\r\n101 um\r\n102 um\r\n103 um\r\n"));
    QTRY_VERIFY(recorder.downloadDone());

    QCOMPARE(int(recorder.stored.size()), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(recorder.stored[i]->umValue(), 101.0 + i);
    QStringList progress;
    for (const auto &p : recorder.progress)
        progress << QStringLiteral("%1/%2").arg(p.num).arg(p.total);
    QCOMPARE(progress, QStringList({"0/3", "1/3", "2/3", "3/3", "3/3"}));

    // Lines after the memory are live readings again; a late end line is no bad line.
    QVERIFY(m_pty->send("END\r\n104 um\n"));
    QTRY_COMPARE(int(recorder.live.size()), 2);
    QCOMPARE(int(recorder.stored.size()), 3);
    m_dmm->close();
    QVERIFY2(recorder.messages.filter(QStringLiteral("not understood")).isEmpty(),
             qPrintable(recorder.messages.join('\n')));
}

void TestSerialGauge::downloadWithoutCount_data()
{
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<int>("expected");
    QTest::newRow("ended by the end line") << QByteArray("END\r\n") << 0;
    QTest::newRow("ended by the quiet time") << QByteArray() << 0;
    QTest::newRow("ended by the quiet time, size expected") << QByteArray() << 10;
}

void TestSerialGauge::downloadWithoutCount()
{
    QFETCH(QByteArray, tail);
    QFETCH(int, expected);
    writeSettings(
        {{QStringLiteral("memoryQuietMs"), 300}, {QStringLiteral("memoryExpected"), expected}});
    Recorder recorder(m_gauge);
    openAndWait();
    QVERIFY(m_myDmm->requestStoredData());
    QVERIFY(m_pty->send(QByteArray("4.92 mil\n5.00 mil\nOL\n") + tail));
    QTRY_VERIFY(recorder.downloadDone());

    QCOMPARE(int(recorder.stored.size()), 3);
    QCOMPARE(recorder.stored[1]->milText(), QStringLiteral("5.00"));
    QCOMPARE(recorder.stored[2]->overload(), 1);
    // Until the end, the bar never shows the transfer as complete.
    for (std::size_t i = 0; i + 1 < recorder.progress.size(); ++i) {
        QCOMPARE(recorder.progress[i].num, int(i) + 1);
        QCOMPARE(recorder.progress[i].total, qMax(expected, int(i) + 2));
    }
    QCOMPARE(recorder.progress.back().total, 3);
    QCOMPARE(recorder.progress.back().num, 3);
    QVERIFY(recorder.live.empty());
}

void TestSerialGauge::downloadStoppedShort_data()
{
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<bool>("pull");
    QTest::addColumn<QString>("said");
    QTest::newRow("count announced, cable pulled")
        << QByteArray("N=100\n1 um\n2 um\n3 um\n") << true
        << "Serial gauge: the download stopped after 3 of 100 stored readings.";
    QTest::newRow("no count, cable pulled")
        << QByteArray("1 um\n2 um\n3 um\n") << true
        << "Serial gauge: the download stopped after 3 stored readings.";
    QTest::newRow("count announced, end line early")
        << QByteArray("N=100\n1 um\n2 um\n3 um\nEND\n") << false
        << "Serial gauge: the download stopped after 3 of 100 stored readings.";
}

void TestSerialGauge::downloadStoppedShort()
{
    QFETCH(QByteArray, lines);
    QFETCH(bool, pull);
    QFETCH(QString, said);
    Recorder recorder(m_gauge);
    openAndWait();
    QSignalSpy closed(m_gauge, SIGNAL(closed()));
    QVERIFY(m_myDmm->requestStoredData());
    QVERIFY(m_pty->send(lines));
    QTRY_COMPARE(int(recorder.stored.size()), 3);
    if (pull) {
        m_pty->closeMaster();
        QVERIFY(closed.wait(30000));
    }
    QTRY_VERIFY2(recorder.messages.contains(said), qPrintable(recorder.messages.join('\n')));
    // The bar never reaches its end: the logger sees the transfer stop short.
    QVERIFY(!recorder.downloadDone());
}

void TestSerialGauge::badInputIsCountedNotLost()
{
    Recorder recorder(m_gauge);
    openAndWait();
    QByteArray data;
    int good = 0;
    const auto reading = [&] { data += QByteArray::number(++good) + " um\r\n"; };
    reading();
    data += "garbage\r\n";
    reading();
    data += QByteArray("\x00\x01\xff\xfe\x1b[2J noise\n", 15);
    reading();
    // Numbers no gauge sends: they would be stored as other numbers than sent.
    data += QByteArray(300, '9') + "\r\n1111111111111111111111111 um\r\n";
    reading();
    data += QByteArray(100 * 1024, '7'); // 100 kB without a line end
    data += "\n";
    reading();
    for (int i = 0; i < 10000; ++i)
        reading();
    data += "12"; // the start of a line that never ends
    QVERIFY(m_pty->send(data));

    QTRY_COMPARE_WITH_TIMEOUT(int(recorder.live.size()), good, 20000);
    for (int i = 0; i < good; ++i)
        QCOMPARE(recorder.live[i]->umValue(), double(i + 1));
    // One summary, not a message per line.
    QTRY_VERIFY(!recorder.messages.filter(QStringLiteral("not understood")).isEmpty());
    const QString summary = recorder.messages.filter(QStringLiteral("not understood")).join('\n');
    QVERIFY2(summary.contains(QStringLiteral("5 lines")), qPrintable(summary));
    QVERIFY2(summary.contains(QStringLiteral("the last: a line longer than 1024 bytes")),
             qPrintable(summary));
    QVERIFY(recorder.messages.size() <= 3);

    // The unfinished line is reported when the gauge closes.
    m_dmm->close();
    QVERIFY2(recorder.messages.filter(QStringLiteral("1 line not understood")).size() == 1,
             qPrintable(recorder.messages.join('\n')));
}

void TestSerialGauge::pulledCable()
{
    Recorder recorder(m_gauge);
    QSignalSpy refreshed(m_gauge, SIGNAL(usbRefreshed()));
    openAndWait();
    QSignalSpy closed(m_gauge, SIGNAL(closed()));
    QVERIFY(m_pty->send("120 um\n121 um\n122 um\n"));
    QTRY_COMPARE(int(recorder.live.size()), 3);

    const QString port = m_pty->slaveName();
    m_pty->closeMaster();
    QVERIFY(closed.wait(30000));
    QCOMPARE(closed.count(), 1);
    QVERIFY(!m_dmm->isOpen());
    QCOMPARE(recorder.liveWhenClosed, 3);
    // The port's departure is told at once, not at the next look for ports.
    QCOMPARE(refreshed.count(), 1);
    const QString lost = QStringLiteral("Serial gauge: the connection on %1 was lost: the device "
                                        "was removed.")
                             .arg(port);
    QVERIFY2(recorder.messages.contains(lost), qPrintable(recorder.messages.join('\n')));
}

void TestSerialGauge::pulledDuringABurst()
{
    Recorder recorder(m_gauge);
    openAndWait();
    QSignalSpy closed(m_gauge, SIGNAL(closed()));
    QByteArray data;
    for (int i = 1; i <= 3000; ++i)
        data += QByteArray::number(i) + " um\n";
    QVERIFY(m_pty->send(data));
    const int beforePull = int(recorder.live.size());
    m_pty->closeMaster();
    QVERIFY(closed.wait(30000));

    // What the system still held is gone with the line; what the plug-in had read all came,
    // in order, before closed().
    const int received = int(recorder.live.size());
    QVERIFY(received >= beforePull);
    QCOMPARE(recorder.liveWhenClosed, received);
    for (int i = 0; i < received; ++i)
        QCOMPARE(recorder.live[i]->umValue(), double(i + 1));
}

void TestSerialGauge::receiverClosesDuringABurst()
{
    Recorder recorder(m_gauge);
    openAndWait();
    QSignalSpy closed(m_gauge, SIGNAL(closed()));
    recorder.readingHook = [&] {
        if (recorder.live.size() == 100)
            m_dmm->close();
    };
    QByteArray data;
    for (int i = 1; i <= 1000; ++i)
        data += QByteArray::number(i) + " um\n";
    QVERIFY(m_pty->send(data));
    QTRY_COMPARE(closed.count(), 1);
    QTest::qWait(50);
    QCOMPARE(closed.count(), 1);
    QCOMPARE(recorder.liveWhenClosed, int(recorder.live.size()));
    for (std::size_t i = 0; i < recorder.live.size(); ++i)
        QCOMPARE(recorder.live[i]->umValue(), double(i + 1));
}

void TestSerialGauge::closeWhenClosedEmitsClosed()
{
    QSignalSpy closed(m_gauge, SIGNAL(closed()));
    m_dmm->close();
    m_dmm->close();
    QCOMPARE(closed.count(), 2);
}

QTEST_MAIN(TestSerialGauge)
#include "tst_serialgauge.moc"
