#pragma once

// What the tests of the gauge plug-ins share: the settings file a plug-in reads, opening the
// gauge, and the interfaces and signals the logger finds on every gauge plug-in.

#include <QFile>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSettings>
#include <QSignalSpy>
#include <QString>
#include <QTest>
#include <QVariant>

#include "idmm.h"

namespace gaugetest {

using Settings = QList<QPair<QString, QVariant>>;

// An ini file with exactly these settings.
inline void writeIni(const QString &path, const Settings &settings)
{
    QFile::remove(path);
    QSettings ini(path, QSettings::IniFormat);
    for (const auto &setting : settings)
        ini.setValue(setting.first, setting.second);
    ini.sync();
    QCOMPARE(ini.status(), QSettings::NoError);
}

inline void openAndWait(IDmm *dmm, QObject *gauge)
{
    QSignalSpy opened(gauge, SIGNAL(opened()));
    QVERIFY(dmm->open(nullptr));
    QVERIFY(opened.wait(30000));
}

// The logger finds the interfaces by identifier on the root instance and connects the signals by
// their signatures; extraIids are the plug-in's optional interfaces.
inline void verifyInterfaces(QObject *gauge, const QList<const char *> &extraIids)
{
    QList<const char *> iids = {"com.qd.SerialDeviceInf", "com.qd.SerialRS232VirInf", "com.qd.IDmm",
                                "com.qd.IMyDmm"};
    iids += extraIids;
    for (const char *iid : iids)
        QVERIFY2(gauge->qt_metacast(iid), iid);
    for (const char *signal :
         {"opened()", "closed()", "message(QString)", "display(const DmmData*)",
          "displayStore(const DmmData*)", "storeNum(int,int)", "usbRefreshed()"})
        QVERIFY2(gauge->metaObject()->indexOfSignal(signal) >= 0, signal);
}

} // namespace gaugetest
