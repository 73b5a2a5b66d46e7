#pragma once

#include <QObject>

class SerialDeviceInf;

// The gauge itself. The object returned by getObject() emits, on the GUI thread:
//   opened(), closed(), message(QString),
//   display(const DmmData *)       a live reading, owned by the receiver from then on,
//   displayStore(const DmmData *)  a reading from the gauge's memory, same ownership,
//   storeNum(int,int)              download progress: total, transferred so far.
class IDmm
{
public:
    virtual QObject *getObject() = 0;
    // True when opening has begun; opened() follows from the event loop.
    virtual bool open(SerialDeviceInf *device) = 0;
    // Emits closed(); also called when already closed.
    virtual void close() = 0;
    virtual bool isOpen() = 0;

    virtual ~IDmm() = default;
};

#define IDmm_iid "com.qd.IDmm"
Q_DECLARE_INTERFACE(IDmm, IDmm_iid)
