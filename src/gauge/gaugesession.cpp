#include "gaugesession.h"

#include <QDir>

#include "dmmdata.h"
#include "idmm.h"
#include "igaugerange.h"
#include "imydmm.h"
#include "serialdeviceinf.h"
#include "serialrs232virinf.h"

namespace {
// The gauge's USB virtual COM port.
constexpr int GaugeVendorId = 0x0483;
constexpr int GaugeProductId = 0x5740;
} // namespace

GaugeSession::GaugeSession(QObject *parent)
    : QObject(parent)
{
}

GaugeSession::~GaugeSession()
{
    // The plug-in outlives the session: it must not call back into it, not even to say it closed.
    disconnectPlugin();
    close();
}

bool GaugeSession::load(const QDir &dir, const QString &chosen)
{
    m_binder.load(dir);
    bind(chosen);
    return m_binding.complete();
}

void GaugeSession::rebind(const QString &plugin)
{
    close();
    disconnectPlugin();
    m_binding = DeviceBinder::Binding();
    m_acquiring = false;
    bind(plugin);
    emit stateChanged();
}

void GaugeSession::bind(const QString &plugin)
{
    m_binding = m_binder.bind(plugin);
    m_boundId = m_binding.id;
    if (m_binding.dmm) {
        // The plug-ins' signals are not known to the compiler: they are connected by name.
        QObject *device = m_binding.dmm->getObject();
        connect(device, SIGNAL(opened()), this, SLOT(onOpened()));
        connect(device, SIGNAL(closed()), this, SLOT(onClosed()));
        connect(device, SIGNAL(message(QString)), this, SIGNAL(message(QString)));
        connect(device, SIGNAL(display(const DmmData *)), this, SLOT(onDisplay(const DmmData *)));
        connect(device, SIGNAL(displayStore(const DmmData *)), this,
                SIGNAL(storedReading(const DmmData *)));
        connect(device, SIGNAL(storeNum(int, int)), this, SIGNAL(downloadProgress(int, int)));
    }
    if (m_binding.serialDevice)
        connect(m_binding.serialDevice->getObject(), SIGNAL(usbRefreshed()), this,
                SLOT(onUsbRefreshed()));
    testPortPresence();
}

void GaugeSession::disconnectPlugin()
{
    if (m_binding.dmm)
        disconnect(m_binding.dmm->getObject(), nullptr, this, nullptr);
    if (m_binding.serialDevice)
        disconnect(m_binding.serialDevice->getObject(), nullptr, this, nullptr);
}

double GaugeSession::rangeUm() const
{
    return m_binding.range ? m_binding.range->rangeUm() : IGaugeRange::DefaultRangeUm;
}

GaugeSession::State GaugeSession::state() const
{
    if (!isOpen())
        return State::Closed;
    return m_acquiring ? State::Acquiring : State::Open;
}

bool GaugeSession::isOpen() const
{
    return m_binding.dmm && m_binding.dmm->isOpen();
}

bool GaugeSession::open()
{
    return m_binding.dmm && m_binding.dmm->open(m_binding.serialDevice);
}

void GaugeSession::close()
{
    if (m_binding.dmm)
        m_binding.dmm->close();
}

void GaugeSession::start()
{
    if (!isOpen() || m_acquiring)
        return;
    m_acquiring = true;
    emit stateChanged();
}

void GaugeSession::stop()
{
    if (!m_acquiring)
        return;
    m_acquiring = false;
    emit stateChanged();
}

bool GaugeSession::requestStoredData()
{
    return isOpen() && m_binding.myDmm && m_binding.myDmm->requestStoredData();
}

void GaugeSession::testPortPresence()
{
    setCanConnect(m_binding.rs232Vir &&
                  m_binding.rs232Vir->isPortPresent(GaugeVendorId, GaugeProductId));
}

void GaugeSession::setCanConnect(bool can)
{
    if (can == m_canConnect)
        return;
    m_canConnect = can;
    emit stateChanged();
}

void GaugeSession::onOpened()
{
    m_canConnect = false;
    emit opened();
    emit stateChanged();
}

void GaugeSession::onClosed()
{
    // The gauge may have closed because its port went away.
    m_canConnect =
        m_binding.rs232Vir && m_binding.rs232Vir->isPortPresent(GaugeVendorId, GaugeProductId);
    m_acquiring = false;
    emit closed();
    emit stateChanged();
}

void GaugeSession::onDisplay(const DmmData *reading)
{
    if (isAcquiring())
        emit this->reading(reading);
    else
        delete reading;
}

void GaugeSession::onUsbRefreshed()
{
    testPortPresence();
}
