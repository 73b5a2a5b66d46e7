#include "windowsettings.h"

#include <QMainWindow>

#include "optionsfile.h"

WindowSettings::WindowSettings(QMainWindow *window)
    : m_window(window)
{
    const OptionsFile::Contents contents = OptionsFile::read(OptionsFile::defaultPath());
    devicePlugin = contents.devicePlugin.value_or(QString());
    teamServer = contents.teamServer.value_or(QString());
}

void WindowSettings::restore()
{
    const OptionsFile::Contents contents = OptionsFile::read(OptionsFile::defaultPath());
    if (contents.geometry)
        m_window->restoreGeometry(*contents.geometry);
    if (contents.state)
        m_window->restoreState(*contents.state, 0);
    if (contents.sceneFileName)
        sceneFile = *contents.sceneFileName;
    if (!contents.folders.isEmpty())
        folders.setMap(contents.folders);
}

bool WindowSettings::save() const
{
    return OptionsFile::write(OptionsFile::defaultPath(), m_window->saveGeometry(),
                              m_window->saveState(0), sceneFile, devicePlugin, folders.toMap(),
                              teamServer);
}
