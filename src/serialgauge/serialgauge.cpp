#include "serialgauge.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMetaMethod>
#include <QSerialPortInfo>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include "dmmdata.h"
#include "lineparser.h"
#include "portusers.h"
#include "serialgaugepage.h"

namespace {

constexpr int GaugeVendorId = 0x0483;
constexpr int GaugeProductId = 0x5740;
// Bytes read at a time: a few hundred lines.
constexpr qint64 ChunkBytes = 4096;
// The time the lines may take of one event-loop turn, the window's work on them included; the
// rest waits for the next turn.
constexpr qint64 TurnBudgetMs = 8;
// What the port may hold unread while the logger is busy; beyond it the system's own buffer and
// the line's flow control take over.
constexpr qint64 PortBufferBytes = 1 << 20;
constexpr int ReportIntervalMs = 1000;
constexpr int PresenceIntervalMs = 2000;
constexpr int SampleLength = 40;

QString printable(const QByteArray &line)
{
    QString text = LineParser::decode(line.left(SampleLength * 4));
    for (QChar &c : text)
        if (!c.isPrint())
            c = QLatin1Char('?');
    if (text.size() > SampleLength)
        text = text.left(SampleLength) + QStringLiteral("...");
    return text;
}

// The device file of a port given by name ("ttyUSB0", "/dev/ttyUSB0"); on Windows the name.
QString devicePath(const QString &port)
{
#ifdef Q_OS_WIN
    return port;
#else
    return port.startsWith(QLatin1Char('/')) ? port : QStringLiteral("/dev/") + port;
#endif
}

} // namespace

SerialGauge::SerialGauge(QObject *parent)
    : QObject(parent)
{
    m_openTimer.setSingleShot(true);
    m_openTimer.setInterval(0);
    connect(&m_openTimer, &QTimer::timeout, this, &SerialGauge::finishOpening);
    m_drainTimer.setSingleShot(true);
    m_drainTimer.setInterval(0);
    connect(&m_drainTimer, &QTimer::timeout, this, &SerialGauge::drain);
    m_reportTimer.setSingleShot(true);
    m_reportTimer.setInterval(ReportIntervalMs);
    connect(&m_reportTimer, &QTimer::timeout, this, &SerialGauge::reportBadLines);
    m_quietTimer.setSingleShot(true);
    connect(&m_quietTimer, &QTimer::timeout, this, [this] { finishDownload(false); });
    m_presenceTimer.setInterval(PresenceIntervalMs);
    connect(&m_presenceTimer, &QTimer::timeout, this, &SerialGauge::checkPresence);

    connect(&m_port, &QSerialPort::readyRead, this, &SerialGauge::drain);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialGauge::onPortError);
}

SerialGauge::~SerialGauge() = default;

QObject *SerialGauge::getObject()
{
    return this;
}

bool SerialGauge::open(SerialDeviceInf *device)
{
    Q_UNUSED(device) // the port comes from the settings
    if (m_open)
        shutDown(QString());

    m_settings = SerialGaugeSettings::load(SerialGaugeSettings::defaultFileName());
    reportWarnings(m_settings);
    auto parser = std::make_unique<LineParser>(m_settings.format);
    if (!parser->isValid()) {
        emit message(tr("Serial gauge: %1.").arg(parser->error()));
        return false;
    }
    m_countPattern = QRegularExpression(m_settings.memoryCountPattern,
                                        QRegularExpression::CaseInsensitiveOption);
    if (!m_settings.memoryCountPattern.isEmpty() &&
        (!m_countPattern.isValid() ||
         !m_countPattern.namedCaptureGroups().contains(QStringLiteral("count"))))
        emit message(tr("Serial gauge: the memory count line needs a valid pattern with a group "
                        "named count; it is ignored."));

    if (m_settings.port.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0) {
        const QSerialPortInfo info = findPort(GaugeVendorId, GaugeProductId);
        if (info.isNull()) {
            emit message(tr("Serial gauge: no gauge port (USB %1:%2) is present.")
                             .arg(GaugeVendorId, 4, 16, QLatin1Char('0'))
                             .arg(GaugeProductId, 4, 16, QLatin1Char('0')));
            return false;
        }
        m_port.setPort(info);
        m_location = info.systemLocation();
    } else {
        m_port.setPortName(m_settings.port);
        m_location = devicePath(m_settings.port);
    }
    m_port.setBaudRate(m_settings.baudRate);
    m_port.setDataBits(m_settings.dataBits);
    m_port.setParity(m_settings.parity);
    m_port.setStopBits(m_settings.stopBits);
    m_port.setFlowControl(m_settings.flowControl);
    m_port.setReadBufferSize(PortBufferBytes);
    if (!m_port.open(QIODevice::ReadWrite)) {
        emit message(openFailure());
        m_port.clearError();
        return false;
    }
#ifdef Q_OS_UNIX
    // The port is the logger's alone, as terminal programs take it: another program that opens it
    // now fails instead of taking part of the lines. (Windows opens serial ports exclusively.)
    ::ioctl(int(m_port.handle()), TIOCEXCL);
#endif
    const QStringList others = PortUsers::others(m_location, qintptr(m_port.handle()));
    if (!others.isEmpty()) {
        m_port.close();
        emit message(tr("Serial gauge: %1 is in use by another program (%2); close it, then "
                        "connect again.")
                         .arg(m_location, others.join(QStringLiteral(", "))));
        return false;
    }

    m_parser = std::move(parser);
    m_lines.clear();
    m_pending.clear();
    m_next = 0;
    m_badLines = 0;
    m_downloading = false;
    m_open = true;
    // The caller connects and updates its state only after open() returns.
    m_openTimer.start();
    return true;
}

void SerialGauge::close()
{
    shutDown(QString());
}

bool SerialGauge::isOpen()
{
    return m_open;
}

bool SerialGauge::requestStoredData()
{
    if (!m_open) {
        emit message(tr("Serial gauge: not open, nothing to download."));
        return false;
    }
    m_downloading = true;
    m_storeTotal = -1;
    m_storeNum = 0;
    if (!m_settings.memoryCommand.isEmpty())
        m_port.write(m_settings.memoryCommand);
    emit message(tr("Serial gauge: waiting for the memory."));
    m_quietTimer.start(m_settings.memoryQuietMs);
    return true;
}

QStringList SerialGauge::portNames()
{
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.portName();
    return names;
}

bool SerialGauge::setPortName(const QString &name)
{
    if (name.trimmed().isEmpty())
        return false;
    const QString fileName = SerialGaugeSettings::defaultFileName();
    SerialGaugeSettings settings = SerialGaugeSettings::load(fileName);
    settings.port = name.trimmed();
    return settings.save(fileName);
}

QString SerialGauge::portName()
{
    return SerialGaugeSettings::load(SerialGaugeSettings::defaultFileName()).port;
}

QSerialPortInfo SerialGauge::findPort(int vendorId, int productId)
{
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        if (info.hasVendorIdentifier() && info.hasProductIdentifier() &&
            info.vendorIdentifier() == vendorId && info.productIdentifier() == productId)
            return info;
    return {};
}

bool SerialGauge::isPortPresent(int vendorId, int productId)
{
    Q_UNUSED(vendorId) // "auto" looks for the gauge's own ids, a named port needs none
    Q_UNUSED(productId)
    return portPresent(SerialGaugeSettings::load(SerialGaugeSettings::defaultFileName()).port);
}

QWidget *SerialGauge::createOptionsPage(QWidget *parent)
{
    return new SerialGaugePage(SerialGaugeSettings::load(SerialGaugeSettings::defaultFileName()),
                               parent);
}

bool SerialGauge::saveOptionsPage(QWidget *page, QString *error)
{
    auto *serialPage = qobject_cast<SerialGaugePage *>(page);
    if (!serialPage)
        return false;
    const QString problem = serialPage->check();
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    const QString fileName = SerialGaugeSettings::defaultFileName();
    if (!serialPage->settings().save(fileName)) {
        if (error)
            *error = tr("Cannot write %1.").arg(fileName);
        return false;
    }
    // The port may have changed: let the logger look again.
    m_present = portPresent(serialPage->settings().port);
    emit usbRefreshed();
    if (!m_present)
        emit message(portMissing(serialPage->settings().port));
    return true;
}

double SerialGauge::rangeUm() const
{
    return m_settings.rangeUm;
}

void SerialGauge::connectNotify(const QMetaMethod &signal)
{
    if (signal != QMetaMethod::fromSignal(&SerialGauge::usbRefreshed))
        return;
    m_present = isPortPresent(GaugeVendorId, GaugeProductId);
    m_presenceTimer.start();
    // Said from the event loop: the caller is still connecting, maybe its message() too.
    QMetaObject::invokeMethod(this, &SerialGauge::reportSettings, Qt::QueuedConnection);
}

void SerialGauge::reportSettings()
{
    const SerialGaugeSettings settings =
        SerialGaugeSettings::load(SerialGaugeSettings::defaultFileName());
    reportWarnings(settings);
    if (!m_open && !portPresent(settings.port))
        emit message(portMissing(settings.port));
}

void SerialGauge::reportWarnings(const SerialGaugeSettings &settings)
{
    const QString fileName = SerialGaugeSettings::defaultFileName();
    for (const QString &warning : settings.warnings)
        emit message(tr("Serial gauge: in %1, %2.").arg(fileName, warning));
}

QString SerialGauge::portMissing(const QString &port) const
{
    if (port.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0)
        return tr("Serial gauge: no gauge port (USB %1:%2) is present; Connect is enabled once "
                  "the gauge is plugged in.")
            .arg(GaugeVendorId, 4, 16, QLatin1Char('0'))
            .arg(GaugeProductId, 4, 16, QLatin1Char('0'));
    return tr("Serial gauge: the port %1 is not there; Connect is enabled once it is.").arg(port);
}

QString SerialGauge::openFailure() const
{
    if (m_port.error() == QSerialPort::PermissionError) {
#ifdef Q_OS_UNIX
        // Refused although the user may read and write it: someone else holds it.
        const bool allowed = ::access(QFile::encodeName(m_location).constData(), R_OK | W_OK) == 0;
#else
        const bool allowed = true;
#endif
        if (allowed)
            return tr("Serial gauge: %1 is in use by another program; close it, then connect "
                      "again.")
                .arg(m_location);
        return tr("Serial gauge: no permission to use %1 (%2); on Linux the user must be in the "
                  "dialout group.")
            .arg(m_location, m_port.errorString());
    }
    return tr("Serial gauge: cannot open %1: %2.").arg(m_location, m_port.errorString());
}

bool SerialGauge::portPresent(const QString &port)
{
    if (port.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0)
        return !findPort(GaugeVendorId, GaugeProductId).isNull();
    if (!QSerialPortInfo(port).isNull())
        return true;
#ifdef Q_OS_WIN
    return false;
#else
    // Pseudo-terminals and some adapters are not listed, yet open like any port.
    return QFileInfo::exists(devicePath(port));
#endif
}

void SerialGauge::checkPresence()
{
    // Nobody listens any more. This is found here rather than in disconnectNotify(), which Qt may
    // call with its connection lock held, where asking about connections can deadlock.
    if (!isSignalConnected(QMetaMethod::fromSignal(&SerialGauge::usbRefreshed))) {
        m_presenceTimer.stop();
        return;
    }
    const bool present = isPortPresent(GaugeVendorId, GaugeProductId);
    if (present == m_present)
        return;
    m_present = present;
    emit usbRefreshed();
    if (!present && !m_open)
        emit message(portMissing(portName()));
}

void SerialGauge::finishOpening()
{
    emit message(tr("Serial gauge opened on %1 at %2 baud.")
                     .arg(m_port.portName())
                     .arg(m_settings.baudRate));
    emit opened();
    // Lines that came before opened() have waited for it.
    if (m_open && m_port.bytesAvailable() > 0)
        m_drainTimer.start();
}

void SerialGauge::drain()
{
    // Nothing is read before the logger has seen opened().
    if (!m_open || m_openTimer.isActive())
        return;
    QElapsedTimer turn;
    turn.start();
    while (m_open && turn.elapsed() < TurnBudgetMs) {
        if (m_next == m_pending.size()) {
            m_pending.clear();
            m_next = 0;
            const QByteArray data = m_port.read(ChunkBytes);
            if (data.isEmpty())
                break;
            if (m_downloading)
                m_quietTimer.start(m_settings.memoryQuietMs);
            m_pending = m_lines.append(data);
        }
        // A receiver may close the gauge, which hands on the rest first, in order.
        while (m_open && m_next < m_pending.size() && turn.elapsed() < TurnBudgetMs)
            handleLine(m_pending.at(m_next++));
    }
    if (m_open && (m_next < m_pending.size() || m_port.bytesAvailable() > 0))
        m_drainTimer.start();
}

void SerialGauge::drainAll()
{
    m_openTimer.stop();
    while (m_open && (m_next < m_pending.size() || m_port.bytesAvailable() > 0))
        drain();
}

void SerialGauge::handleLine(const QByteArray &line)
{
    if (line.isEmpty()) { // a line too long to keep
        countBadLine(line);
        return;
    }
    if (m_downloading) {
        handleStoredLine(line);
        return;
    }
    if (auto reading = m_parser->parse(line, QDateTime::currentDateTime()))
        handOver(&SerialGauge::display, std::move(reading));
    else if (!isEndLine(line)) // the end of a memory whose count has already come
        countBadLine(line);
}

bool SerialGauge::isEndLine(const QByteArray &line) const
{
    return !m_settings.memoryEndLine.isEmpty() &&
           LineParser::decode(line).trimmed().compare(m_settings.memoryEndLine,
                                                      Qt::CaseInsensitive) == 0;
}

void SerialGauge::handleStoredLine(const QByteArray &line)
{
    if (isEndLine(line)) {
        finishDownload(false);
        return;
    }
    const QString text = LineParser::decode(line).trimmed();
    if (m_countPattern.isValid() && !m_settings.memoryCountPattern.isEmpty()) {
        const QRegularExpressionMatch count = m_countPattern.match(text);
        bool ok = false;
        const int total = count.captured(QStringLiteral("count")).toInt(&ok);
        if (count.hasMatch() && ok && total >= 0) {
            m_storeTotal = total;
            emit storeNum(m_storeTotal, m_storeNum);
            if (m_storeNum >= m_storeTotal)
                finishDownload(false);
            return;
        }
    }
    auto reading = m_parser->parse(line, QDateTime::currentDateTime());
    if (!reading) {
        countBadLine(line);
        return;
    }
    handOver(&SerialGauge::displayStore, std::move(reading));
    ++m_storeNum;
    // Without an announced count the bar runs towards the expected size, and keeps one step
    // ahead so that the transfer is not taken for complete.
    const int total =
        m_storeTotal >= 0 ? m_storeTotal : qMax(m_settings.memoryExpected, m_storeNum + 1);
    emit storeNum(total, m_storeNum);
    if (m_storeTotal >= 0 && m_storeNum >= m_storeTotal)
        finishDownload(false);
}

void SerialGauge::finishDownload(bool connectionLost)
{
    if (!m_downloading)
        return;
    m_downloading = false;
    m_quietTimer.stop();
    // Without an announced count, only the end line or the quiet after the last reading tell that
    // the memory is all there.
    const bool complete = m_storeTotal >= 0 ? m_storeNum >= m_storeTotal : !connectionLost;
    if (!complete) {
        // The last progress stands: the logger sees the transfer stop short of its total.
        emit message(m_storeTotal >= 0
                         ? tr("Serial gauge: the download stopped after %1 of %2 stored readings.")
                               .arg(m_storeNum)
                               .arg(m_storeTotal)
                         : tr("Serial gauge: the download stopped after %1 stored readings.")
                               .arg(m_storeNum));
        return;
    }
    emit message(m_storeNum == 1
                     ? tr("Serial gauge: 1 stored reading received.")
                     : tr("Serial gauge: %1 stored readings received.").arg(m_storeNum));
    emit storeNum(m_storeNum, m_storeNum);
}

void SerialGauge::countBadLine(const QByteArray &line)
{
    ++m_badLines;
    m_badSample = line.isEmpty()
                      ? tr("a line longer than %1 bytes").arg(LineBuffer::DefaultMaxLength)
                      : QStringLiteral("\"%1\"").arg(printable(line));
    if (!m_reportTimer.isActive())
        m_reportTimer.start();
}

void SerialGauge::reportBadLines()
{
    m_reportTimer.stop();
    if (m_badLines == 0)
        return;
    const QString lines = m_badLines == 1 ? tr("1 line") : tr("%1 lines").arg(m_badLines);
    emit message(tr("Serial gauge: %1 not understood, the last: %2.").arg(lines, m_badSample));
    m_badLines = 0;
}

void SerialGauge::onPortError(QSerialPort::SerialPortError error)
{
    // The port went away under the open connection (cable pulled, adapter removed). It is
    // closed from the event loop, not from inside the port's own notification.
    if (m_open && (error == QSerialPort::ResourceError || error == QSerialPort::ReadError))
        QMetaObject::invokeMethod(this, &SerialGauge::portLost, Qt::QueuedConnection);
}

void SerialGauge::portLost()
{
    if (!m_open || m_port.error() == QSerialPort::NoError)
        return;
    const QSerialPort::SerialPortError error = m_port.error();
    const QString reason = m_port.errorString();
    bool wasOpen = false;
    if (!closePort(&wasOpen))
        return;
    // A resource error is the device gone, whatever the system's text says ("Unknown error" or a
    // stale one), and even while the system still lists its name for a moment after our handle
    // closed. A read error on a device still there is told with the system's reason.
    const bool present = error != QSerialPort::ResourceError && portPresent(m_settings.port);
    const QString cause =
        present ? tr("a read error (%1)").arg(reason) : tr("the device was removed");
    finishClosing(wasOpen,
                  tr("Serial gauge: the connection on %1 was lost: %2.").arg(m_location, cause));
    // Connect is not offered for a port that is gone, not even until the next look.
    if (!present && m_present) {
        m_present = false;
        emit usbRefreshed();
    }
}

void SerialGauge::shutDown(const QString &why)
{
    bool wasOpen = false;
    if (closePort(&wasOpen))
        finishClosing(wasOpen, why);
}

bool SerialGauge::closePort(bool *wasOpen)
{
    // A receiver of the last readings may close the gauge itself.
    if (m_closing)
        return false;
    m_closing = true;
    *wasOpen = m_open;
    // Readings already received are handed on before the gauge says it is closed.
    drainAll();
    if (*wasOpen && !m_lines.partialLine().isEmpty())
        countBadLine(m_lines.partialLine());
    m_lines.clear();
    m_pending.clear();
    m_next = 0;
    finishDownload(true);
    m_open = false;
    m_openTimer.stop();
    m_drainTimer.stop();
    m_quietTimer.stop();
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
    m_parser.reset();
    reportBadLines();
    return true;
}

void SerialGauge::finishClosing(bool wasOpen, const QString &why)
{
    if (!why.isEmpty())
        emit message(why);
    else if (wasOpen)
        emit message(tr("Serial gauge closed."));
    m_closing = false;
    emit closed();
}

void SerialGauge::handOver(void (SerialGauge::*signal)(const DmmData *),
                           std::unique_ptr<DmmData> reading)
{
    if (!isSignalConnected(QMetaMethod::fromSignal(signal)))
        return;
    emit(this->*signal)(reading.release());
}
