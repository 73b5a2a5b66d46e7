#pragma once

#include <QString>

#include "recentfolders.h"

class QMainWindow;

// What the main window keeps in options.xml: its geometry and tool-bar layout, the last scene
// picture, the gauge chosen in Options, the folders the file dialogs last used and the team
// server's address.
class WindowSettings
{
public:
    explicit WindowSettings(QMainWindow *window);

    // Reads the file: the window's geometry and layout go to the window, the rest is kept here.
    void restore();
    bool save() const;

    QString sceneFile;
    // Empty while no gauge was chosen in Options.
    QString devicePlugin;
    RecentFolders folders;
    // Empty for none: the workspace stays on this computer only.
    QString teamServer;

private:
    QMainWindow *m_window;
};
