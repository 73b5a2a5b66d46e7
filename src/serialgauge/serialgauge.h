#pragma once

#include <memory>

#include <QObject>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTimer>

#include "idmm.h"
#include "ideviceoptions.h"
#include "igaugerange.h"
#include "imydmm.h"
#include "linebuffer.h"
#include "serialdeviceinf.h"
#include "serialgaugesettings.h"
#include "serialrs232virinf.h"

class DmmData;
class LineParser;

// A gauge that writes each reading as a line of text on a serial port or a USB virtual COM port.
// The port and the line format come from serialgauge.ini (SerialGaugeSettings), read at every
// Connect and edited on the logger's Options page. Lines that do not match are counted and
// reported now and then, never one message per line. Everything runs on the GUI thread.
class SerialGauge : public QObject,
                    public IDmm,
                    public IMyDmm,
                    public SerialDeviceInf,
                    public SerialRS232VirInf,
                    public IDeviceOptions,
                    public IGaugeRange
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID IDmm_iid FILE "serialgauge.json")
    Q_INTERFACES(IDmm IMyDmm SerialDeviceInf SerialRS232VirInf IDeviceOptions IGaugeRange)
    Q_DISABLE_COPY(SerialGauge)

public:
    explicit SerialGauge(QObject *parent = nullptr);
    ~SerialGauge() override;

    // IDmm and SerialDeviceInf: this object emits every signal.
    QObject *getObject() override;
    bool open(SerialDeviceInf *device) override;
    void close() override;
    bool isOpen() override;

    // IMyDmm
    bool requestStoredData() override;

    // SerialDeviceInf: the ports of the system; the port set here is kept in the settings.
    QStringList portNames() override;
    bool setPortName(const QString &name) override;
    QString portName() override;

    // SerialRS232VirInf: for "auto" the gauge's USB port, for a named port whether it exists.
    QSerialPortInfo findPort(int vendorId, int productId) override;
    bool isPortPresent(int vendorId, int productId) override;

    // IDeviceOptions
    QWidget *createOptionsPage(QWidget *parent) override;
    bool saveOptionsPage(QWidget *page, QString *error) override;

    // IGaugeRange: the range of the settings read at the last Connect.
    double rangeUm() const override;

signals:
    void opened();
    void closed();
    void message(const QString &text);
    void display(const DmmData *reading);
    void displayStore(const DmmData *reading);
    void storeNum(int total, int num);
    void usbRefreshed();

protected:
    // The ports are watched only while someone listens to usbRefreshed().
    void connectNotify(const QMetaMethod &signal) override;

private:
    bool portPresent(const QString &port);
    // The settings file's problems and a missing port, said when the logger binds the gauge.
    void reportSettings();
    void reportWarnings(const SerialGaugeSettings &settings);
    QString portMissing(const QString &port) const;
    QString openFailure() const;
    void finishOpening();
    // Handles lines for a few milliseconds, reading bounded chunks; schedules itself while more
    // is waiting, so that a flood of lines cannot hold up the event loop.
    void drain();
    // Hands on everything read so far, before closing.
    void drainAll();
    void handleLine(const QByteArray &line);
    void handleStoredLine(const QByteArray &line);
    bool isEndLine(const QByteArray &line) const;
    // Ends a download: complete when the count announced is in, or without one unless the
    // connection was lost.
    void finishDownload(bool connectionLost);
    void countBadLine(const QByteArray &line);
    void reportBadLines();
    void onPortError(QSerialPort::SerialPortError error);
    void portLost();
    void shutDown(const QString &why);
    // The two halves of shutDown(): everything up to the closed port (false when a close is under
    // way already), then the message and closed().
    bool closePort(bool *wasOpen);
    void finishClosing(bool wasOpen, const QString &why);
    void checkPresence();
    void handOver(void (SerialGauge::*signal)(const DmmData *), std::unique_ptr<DmmData> reading);

    QSerialPort m_port;
    // The port's device file ("/dev/ttyUSB0"; "COM3" on Windows).
    QString m_location;
    SerialGaugeSettings m_settings;
    std::unique_ptr<LineParser> m_parser;
    QRegularExpression m_countPattern;
    LineBuffer m_lines;
    // Lines of the last chunk read, handed on up to m_next.
    QList<QByteArray> m_pending;
    int m_next = 0;
    bool m_open = false;
    bool m_closing = false;
    QTimer m_openTimer;
    QTimer m_drainTimer;

    // Lines not understood since the last report, and the last of them.
    int m_badLines = 0;
    QString m_badSample;
    QTimer m_reportTimer;

    // Download: readings received so far, and the count the gauge announced (-1: none).
    bool m_downloading = false;
    int m_storeTotal = -1;
    int m_storeNum = 0;
    QTimer m_quietTimer;

    bool m_present = false;
    QTimer m_presenceTimer;
};
