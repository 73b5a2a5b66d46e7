#pragma once

#include <QObject>
#include <QSerialPortInfo>

// The gauge's USB virtual COM port.
class SerialRS232VirInf
{
public:
    // The port with the given USB vendor and product ids, or a null info when none is present.
    virtual QSerialPortInfo findPort(int vendorId, int productId) = 0;

    // Whether that port is present. QSerialPortInfo cannot describe a port the operating system
    // does not list, so an instrument without a real port (a simulated one) overrides this.
    virtual bool isPortPresent(int vendorId, int productId)
    {
        return !findPort(vendorId, productId).isNull();
    }

    virtual ~SerialRS232VirInf() = default;
};

#define SerialRS232VirInf_iid "com.qd.SerialRS232VirInf"
Q_DECLARE_INTERFACE(SerialRS232VirInf, SerialRS232VirInf_iid)
