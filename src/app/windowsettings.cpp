#include "windowsettings.h"

#include <QMainWindow>

#include "optionsfile.h"

WindowSettings::WindowSettings(QMainWindow *window)
    : devicePlugin(OptionsFile::read(OptionsFile::defaultPath()).devicePlugin.value_or(QString()))
    , m_window(window)
{
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
                              m_window->saveState(0), sceneFile, devicePlugin, folders.toMap());
}
