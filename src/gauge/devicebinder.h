#pragma once

#include <QList>
#include <QString>

class IDmm;
class IGaugeRange;
class IMyDmm;
class QDir;
class QObject;
class SerialDeviceInf;
class SerialRS232VirInf;

// The device plug-ins found in Lib and the rule that picks the ones the window talks to:
//   1. the plug-in the user chose in Options, if it offers all four interfaces;
//   2. else the first plug-in offering all four whose metadata says "default": true (the
//      simulated gauge), so that a fresh build starts on it;
//   3. else, each interface from the last plug-in, in file-name order, that offers it.
// Plug-ins stay loaded for the life of the process.
class DeviceBinder
{
public:
    struct Plugin
    {
        QString id;   // the library's file name without prefix and suffix, e.g. "serialgauge"
        QString name; // the "name" of its metadata, else the id
        bool isDefault = false;
        QObject *instance = nullptr;
        SerialDeviceInf *serialDevice = nullptr;
        SerialRS232VirInf *rs232Vir = nullptr;
        IDmm *dmm = nullptr;
        IMyDmm *myDmm = nullptr;
        // Optional: the gauge's measuring range.
        IGaugeRange *range = nullptr;

        bool offersAll() const { return serialDevice && rs232Vir && dmm && myDmm; }
    };

    struct Binding
    {
        SerialDeviceInf *serialDevice = nullptr;
        SerialRS232VirInf *rs232Vir = nullptr;
        IDmm *dmm = nullptr;
        IMyDmm *myDmm = nullptr;
        // The range of the plug-in that gives IDmm, when it offers one.
        IGaugeRange *range = nullptr;
        QString id; // the plug-in bound, when all four come from one

        bool complete() const { return serialDevice && rs232Vir && dmm && myDmm; }
    };

    // Loads every plug-in library in dir, in file-name order regardless of case. Libraries that
    // do not load or offer none of the interfaces are skipped silently.
    void load(const QDir &dir);
    const QList<Plugin> &plugins() const { return m_plugins; }
    Binding bind(const QString &chosen) const;

private:
    QList<Plugin> m_plugins;
};
