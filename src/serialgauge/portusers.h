#pragma once

#include <QString>
#include <QStringList>

// The other programs that hold a serial port open. Some open a port without a lock file and
// without taking it for themselves; the lines would then be shared between them and the logger.
// Found on Linux (through /proc, for the processes the user may see); elsewhere the list is empty.
class PortUsers
{
public:
    // "name (process pid)" for each other process that has device open, ownHandle of this process
    // excepted.
    static QStringList others(const QString &device, qintptr ownHandle);
};
