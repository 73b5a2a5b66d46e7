#include "devicebinder.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>

#include "idmm.h"
#include "igaugerange.h"
#include "imydmm.h"
#include "serialdeviceinf.h"
#include "serialrs232virinf.h"

namespace {

// "libserialgauge.so" and "serialgauge.dll" both name the plug-in "serialgauge".
QString pluginId(const QFileInfo &file)
{
    QString id = file.completeBaseName();
#ifndef Q_OS_WIN
    if (id.startsWith(QLatin1String("lib")))
        id = id.mid(3);
#endif
    return id;
}

DeviceBinder::Binding bindingOf(const DeviceBinder::Plugin &plugin)
{
    return {plugin.serialDevice, plugin.rs232Vir, plugin.dmm,
            plugin.myDmm,        plugin.range,    plugin.id};
}

} // namespace

void DeviceBinder::load(const QDir &dir)
{
    m_plugins.clear();
    const QFileInfoList entries = dir.entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &entry : entries) {
        if (!QLibrary::isLibrary(entry.fileName()))
            continue;
        QPluginLoader loader(entry.absoluteFilePath());
        QObject *instance = loader.instance();
        if (!instance)
            continue;
        Plugin plugin;
        plugin.id = pluginId(entry);
        const QJsonObject meta = loader.metaData().value(QStringLiteral("MetaData")).toObject();
        plugin.name = meta.value(QStringLiteral("name")).toString(plugin.id);
        plugin.isDefault = meta.value(QStringLiteral("default")).toBool();
        plugin.instance = instance;
        plugin.serialDevice = qobject_cast<SerialDeviceInf *>(instance);
        plugin.rs232Vir = qobject_cast<SerialRS232VirInf *>(instance);
        plugin.dmm = qobject_cast<IDmm *>(instance);
        plugin.myDmm = qobject_cast<IMyDmm *>(instance);
        plugin.range = qobject_cast<IGaugeRange *>(instance);
        if (plugin.serialDevice || plugin.rs232Vir || plugin.dmm || plugin.myDmm)
            m_plugins.append(plugin);
    }
}

DeviceBinder::Binding DeviceBinder::bind(const QString &chosen) const
{
    if (!chosen.isEmpty())
        for (const Plugin &plugin : m_plugins)
            if (plugin.id == chosen && plugin.offersAll())
                return bindingOf(plugin);
    for (const Plugin &plugin : m_plugins)
        if (plugin.isDefault && plugin.offersAll())
            return bindingOf(plugin);

    Binding binding;
    for (const Plugin &plugin : m_plugins) {
        if (plugin.serialDevice)
            binding.serialDevice = plugin.serialDevice;
        if (plugin.rs232Vir)
            binding.rs232Vir = plugin.rs232Vir;
        if (plugin.dmm) {
            binding.dmm = plugin.dmm;
            binding.range = plugin.range;
        }
        if (plugin.myDmm)
            binding.myDmm = plugin.myDmm;
    }
    // All four from one plug-in: that plug-in is the one bound.
    for (const Plugin &plugin : m_plugins)
        if (plugin.offersAll() && plugin.serialDevice == binding.serialDevice &&
            plugin.rs232Vir == binding.rs232Vir && plugin.dmm == binding.dmm &&
            plugin.myDmm == binding.myDmm)
            binding.id = plugin.id;
    return binding;
}
