#include "simgauge.h"

#include <algorithm>

#include <QDateTime>
#include <QMetaMethod>
#include <QRandomGenerator>
#include <QSerialPortInfo>

#include "dmmdata.h"
#include "readinggenerator.h"

namespace {

constexpr char PortName[] = "SIMULATED";
// Stored readings sent per event-loop turn: large enough for a quick download, small enough for
// the progress dialog to stay responsive.
constexpr int StoreChunk = 200;
constexpr int StoredSpacingS = 5;
constexpr qint64 QuarterHourMs = 15 * 60 * 1000;

quint32 sessionSeed(quint32 configured)
{
    quint32 seed = configured;
    while (seed == 0)
        seed = QRandomGenerator::global()->generate();
    return seed;
}

} // namespace

SimGauge::SimGauge(QObject *parent)
    : QObject(parent)
{
    m_openTimer.setSingleShot(true);
    m_openTimer.setInterval(0);
    connect(&m_openTimer, &QTimer::timeout, this, &SimGauge::finishOpening);

    m_liveTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_liveTimer, &QTimer::timeout, this, &SimGauge::sendLiveReading);

    m_storeTimer.setSingleShot(true);
    m_storeTimer.setInterval(0);
    connect(&m_storeTimer, &QTimer::timeout, this, &SimGauge::sendStoredChunk);
}

SimGauge::~SimGauge() = default;

QObject *SimGauge::getObject()
{
    return this;
}

bool SimGauge::open(SerialDeviceInf *device)
{
    Q_UNUSED(device) // nothing to talk through
    m_liveTimer.stop();
    m_storeTimer.stop();
    m_downloading = false;

    m_settings = SimGaugeSettings::load(SimGaugeSettings::defaultFileName());
    m_settings.seed = sessionSeed(m_settings.seed);
    m_live = std::make_unique<ReadingGenerator>(m_settings, m_settings.seed);
    m_open = true;
    // The caller connects and updates its state only after open() returns.
    m_openTimer.start();
    return true;
}

void SimGauge::close()
{
    const bool wasOpen = m_open;
    m_open = false;
    m_downloading = false;
    m_openTimer.stop();
    m_liveTimer.stop();
    m_storeTimer.stop();
    m_live.reset();
    m_store.reset();
    if (wasOpen)
        emit message(tr("Simulated gauge closed."));
    emit closed();
}

bool SimGauge::isOpen()
{
    return m_open;
}

bool SimGauge::requestStoredData()
{
    if (!m_open) {
        emit message(tr("Simulated gauge: not open, nothing to download."));
        return false;
    }
    const SimGaugeSettings settings = SimGaugeSettings::load(SimGaugeSettings::defaultFileName());
    reportSettings(settings);
    // A seed of its own, so that the memory does not repeat the live readings.
    m_store = std::make_unique<ReadingGenerator>(settings, sessionSeed(settings.seed) + 1);
    m_storeTotal = settings.storedReadings;
    m_storeSent = 0;
    m_storeStartMs = QDateTime::currentMSecsSinceEpoch() -
                     static_cast<qint64>(std::max(0, m_storeTotal - 1)) * StoredSpacingS * 1000;
    // A zone changed since the last download is looked up anew.
    m_storeOffsetSlot = -1;
    m_downloading = true;
    // The gauge stops measuring while it sends its memory.
    m_liveTimer.stop();
    emit message(tr("Simulated gauge: sending %n stored reading(s).", nullptr, m_storeTotal));
    m_storeTimer.start();
    return true;
}

QStringList SimGauge::portNames()
{
    return {QString::fromLatin1(PortName)};
}

bool SimGauge::setPortName(const QString &name)
{
    return name == QLatin1String(PortName);
}

QString SimGauge::portName()
{
    return QString::fromLatin1(PortName);
}

QSerialPortInfo SimGauge::findPort(int vendorId, int productId)
{
    Q_UNUSED(vendorId)
    Q_UNUSED(productId)
    return {};
}

bool SimGauge::isPortPresent(int vendorId, int productId)
{
    Q_UNUSED(vendorId)
    Q_UNUSED(productId)
    return true;
}

void SimGauge::finishOpening()
{
    reportSettings(m_settings);
    emit message(tr("Simulated gauge opened: a reading every %1 ms around %2 %3 on %4 (seed %5).")
                     .arg(m_settings.intervalMs)
                     .arg(m_settings.nominal)
                     .arg(m_settings.unitText(), m_settings.basis)
                     .arg(m_settings.seed));
    emit opened();
    // A receiver of opened() may have closed the gauge again.
    if (m_open)
        m_liveTimer.start(m_settings.intervalMs);
}

void SimGauge::sendLiveReading()
{
    handOver(&SimGauge::display, m_live->next(QDateTime::currentDateTime()));
}

void SimGauge::sendStoredChunk()
{
    if (!m_downloading)
        return;
    if (m_storeTotal == 0) {
        m_downloading = false;
        emit storeNum(0, 0);
    }
    // Receivers may run the event loop and so close the gauge or restart the download; the state
    // is therefore read afresh for every reading.
    for (int i = 0; i < StoreChunk && m_downloading && m_storeSent < m_storeTotal; ++i) {
        const int num = ++m_storeSent;
        handOver(&SimGauge::displayStore,
                 m_store->next(storedTime(m_storeStartMs +
                                          static_cast<qint64>(num - 1) * StoredSpacingS * 1000)));
        emit storeNum(m_storeTotal, num);
    }
    if (m_storeTimer.isActive())
        return; // restarted meanwhile
    if (m_downloading && m_storeSent < m_storeTotal) {
        m_storeTimer.start();
        return;
    }
    m_downloading = false;
    m_store.reset();
    if (m_open && !m_liveTimer.isActive())
        m_liveTimer.start(m_settings.intervalMs);
}

QDateTime SimGauge::storedTime(qint64 ms)
{
    const qint64 slot = ms / QuarterHourMs;
    if (slot != m_storeOffsetSlot) {
        m_storeOffsetSlot = slot;
        m_storeOffset =
            QDateTime::fromMSecsSinceEpoch(slot * QuarterHourMs, Qt::LocalTime).offsetFromUtc();
    }
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, m_storeOffset);
}

void SimGauge::reportSettings(const SimGaugeSettings &settings)
{
    const QString fileName = SimGaugeSettings::defaultFileName();
    if (!settings.fileFound)
        emit message(tr("Simulated gauge: no %1, using the defaults.").arg(fileName));
    for (const QString &warning : settings.warnings)
        emit message(tr("Simulated gauge: %1 in %2.").arg(warning, fileName));
}

void SimGauge::handOver(void (SimGauge::*signal)(const DmmData *), std::unique_ptr<DmmData> reading)
{
    if (!isSignalConnected(QMetaMethod::fromSignal(signal)))
        return;
    emit(this->*signal)(reading.release());
}
