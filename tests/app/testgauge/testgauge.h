#pragma once

#include <QObject>

#include "idmm.h"
#include "imydmm.h"
#include "serialdeviceinf.h"
#include "serialrs232virinf.h"

class DmmData;

// A gauge that does nothing by itself: tests make it emit on demand through its invokable methods
// and read what the window asked of it through its properties.
class TestGauge : public QObject,
                  public IDmm,
                  public IMyDmm,
                  public SerialDeviceInf,
                  public SerialRS232VirInf
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID IDmm_iid FILE "testgauge.json")
    Q_INTERFACES(IDmm IMyDmm SerialDeviceInf SerialRS232VirInf)
    Q_PROPERTY(bool portPresent MEMBER m_portPresent)
    Q_PROPERTY(bool openResult MEMBER m_openResult)
    Q_PROPERTY(int openCalls MEMBER m_openCalls)
    Q_PROPERTY(int closeCalls MEMBER m_closeCalls)
    Q_PROPERTY(int requestCalls MEMBER m_requestCalls)

public:
    QObject *getObject() override { return this; }
    bool open(SerialDeviceInf *device) override;
    void close() override;
    bool isOpen() override { return m_open; }

    bool requestStoredData() override;

    QStringList portNames() override { return {}; }
    bool setPortName(const QString &) override { return true; }
    QString portName() override { return {}; }

    QSerialPortInfo findPort(int, int) override { return {}; }
    bool isPortPresent(int vendorId, int productId) override;

    Q_INVOKABLE void reset();
    Q_INVOKABLE void emitOpened();
    Q_INVOKABLE void emitClosed();
    Q_INVOKABLE void emitUsbRefreshed() { emit usbRefreshed(); }
    Q_INVOKABLE void emitMessage(const QString &text) { emit message(text); }
    Q_INVOKABLE void emitReading(double umValue, const QString &umText, double milValue,
                                 const QString &milText, const QString &unit, const QString &basis);
    Q_INVOKABLE void emitStoreReading(double umValue, const QString &umText, double milValue,
                                      const QString &milText, const QString &unit,
                                      const QString &basis);
    Q_INVOKABLE void emitStoreNum(int total, int num) { emit storeNum(total, num); }
    // A reading beyond the gauge's range, as the gauge sends it: the value 0 with the texts
    // "    OL" (overload 1) or "   -OL" (overload -1); live or from the memory.
    Q_INVOKABLE void emitOverRange(int overload, const QString &unit, bool stored);

signals:
    void opened();
    void closed();
    void message(QString text);
    void display(const DmmData *data);
    void displayStore(const DmmData *data);
    void storeNum(int total, int num);
    void usbRefreshed();

private:
    DmmData *makeReading(double umValue, const QString &umText, double milValue,
                         const QString &milText, const QString &unit, const QString &basis);

    bool m_open = false;
    bool m_portPresent = true;
    bool m_openResult = true;
    int m_openCalls = 0;
    int m_closeCalls = 0;
    int m_requestCalls = 0;
    int m_sequence = 0;
};
