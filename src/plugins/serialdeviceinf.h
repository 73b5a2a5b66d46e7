#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The serial link to the gauge. The window only hands it to IDmm::open; a plug-in may use the
// first three operations to pick the port it talks through.
class SerialDeviceInf
{
public:
    virtual QStringList portNames() = 0;
    virtual bool setPortName(const QString &name) = 0;
    virtual QString portName() = 0;
    // The object that emits usbRefreshed() when serial ports may have come or gone.
    virtual QObject *getObject() = 0;

    virtual ~SerialDeviceInf() = default;
};

#define SerialDeviceInf_iid "com.qd.SerialDeviceInf"
Q_DECLARE_INTERFACE(SerialDeviceInf, SerialDeviceInf_iid)
