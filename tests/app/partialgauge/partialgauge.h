#pragma once

#include <QObject>

#include "idmm.h"

// A plug-in that offers the gauge but none of its ports or memory: not enough to run the logger.
class PartialGauge : public QObject, public IDmm
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID IDmm_iid FILE "partialgauge.json")
    Q_INTERFACES(IDmm)

public:
    QObject *getObject() override { return this; }
    bool open(SerialDeviceInf *) override { return false; }
    void close() override { emit closed(); }
    bool isOpen() override { return false; }

signals:
    void closed();
};
