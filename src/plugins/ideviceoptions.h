#pragma once

#include <QObject>
#include <QString>

class QWidget;

// Settings a device plug-in lets the user change in the logger's Options dialog. Optional: a
// plug-in without it simply has no page there.
class IDeviceOptions
{
public:
    // A new page showing the plug-in's current settings, owned by parent.
    virtual QWidget *createOptionsPage(QWidget *parent) = 0;
    // Keeps what the user set on a page made by createOptionsPage. When the settings cannot be
    // kept, returns false and says why in error; nothing is changed then.
    virtual bool saveOptionsPage(QWidget *page, QString *error) = 0;

    virtual ~IDeviceOptions() = default;
};

#define IDeviceOptions_iid "com.qd.IDeviceOptions"
Q_DECLARE_INTERFACE(IDeviceOptions, IDeviceOptions_iid)
