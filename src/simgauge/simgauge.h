#pragma once

#include <memory>

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include "idmm.h"
#include "imydmm.h"
#include "serialdeviceinf.h"
#include "serialrs232virinf.h"
#include "simgaugesettings.h"

class DmmData;
class ReadingGenerator;

// A gauge without hardware: its port is always present, it opens at once and, while open, sends
// live readings at a steady rate and a memory of stored readings on request. What it sends is set
// in simgauge.ini beside the plug-in, read again at every open and every download.
// All signals are emitted on the thread the plug-in lives in, the GUI thread.
class SimGauge : public QObject,
                 public IDmm,
                 public IMyDmm,
                 public SerialDeviceInf,
                 public SerialRS232VirInf
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID IDmm_iid FILE "simgauge.json")
    Q_INTERFACES(IDmm IMyDmm SerialDeviceInf SerialRS232VirInf)
    Q_DISABLE_COPY(SimGauge)

public:
    explicit SimGauge(QObject *parent = nullptr);
    ~SimGauge() override;

    // IDmm and SerialDeviceInf: this object emits every signal.
    QObject *getObject() override;
    bool open(SerialDeviceInf *device) override;
    void close() override;
    bool isOpen() override;

    // IMyDmm
    bool requestStoredData() override;

    // SerialDeviceInf: one virtual port.
    QStringList portNames() override;
    bool setPortName(const QString &name) override;
    QString portName() override;

    // SerialRS232VirInf: a virtual port has no QSerialPortInfo, yet is always present.
    QSerialPortInfo findPort(int vendorId, int productId) override;
    bool isPortPresent(int vendorId, int productId) override;

signals:
    void opened();
    void closed();
    void message(const QString &text);
    void display(const DmmData *reading);
    void displayStore(const DmmData *reading);
    void storeNum(int total, int num);
    void usbRefreshed();

private:
    void finishOpening();
    void sendLiveReading();
    void sendStoredChunk();
    // The local time at ms since the epoch, with the zone's offset looked up once per quarter
    // hour: every lookup reads the system's zone file again, which cost more than all else the
    // gauge does for a reading. Zones change their offset only at quarter hours.
    QDateTime storedTime(qint64 ms);
    void reportSettings(const SimGaugeSettings &settings);
    // Emits the reading through signal, whose receiver takes ownership; deletes it when nobody
    // listens.
    void handOver(void (SimGauge::*signal)(const DmmData *), std::unique_ptr<DmmData> reading);

    bool m_open = false;
    SimGaugeSettings m_settings;
    std::unique_ptr<ReadingGenerator> m_live;
    QTimer m_openTimer;
    QTimer m_liveTimer;

    // Download state: stored reading num (1-based) is taken at m_storeStartMs + (num - 1) spacings.
    bool m_downloading = false;
    std::unique_ptr<ReadingGenerator> m_store;
    int m_storeTotal = 0;
    int m_storeSent = 0;
    // Milliseconds since the epoch: a local time made from it costs one conversion, while adding
    // to a local time costs two, each of which may ask the system for its time zone again.
    qint64 m_storeStartMs = 0;
    // The quarter hour since the epoch whose offset from UTC, in seconds, is m_storeOffset.
    qint64 m_storeOffsetSlot = -1;
    int m_storeOffset = 0;
    QTimer m_storeTimer;
};
