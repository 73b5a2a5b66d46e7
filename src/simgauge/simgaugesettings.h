#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// What the simulated gauge does, read from its settings file (simgauge.ini). Missing or unusable
// keys fall back to the defaults below; problems are collected in warnings for the user.
struct SimGaugeSettings
{
    int intervalMs = 500;     // between two live readings
    int storedReadings = 200; // in the gauge's memory
    bool micrometres = true;  // unit selected on the gauge: μm, else mil
    QString basis = QStringLiteral("Fe");
    double nominal = 120.0; // in the selected unit
    double spread = 6.0;    // standard deviation, in the selected unit
    int overloadEvery = 50; // every n-th reading is over range; 0 never
    quint32 seed = 0;       // 0: a fresh seed for every session
    bool fileFound = false;
    QStringList warnings;

    // The unit text the gauge reports: "μm" or "mil".
    QString unitText() const;

    static SimGaugeSettings load(const QString &fileName);
    // <application dir>/Lib/simgauge.ini: the folder the plug-in is loaded from.
    static QString defaultFileName();
};
