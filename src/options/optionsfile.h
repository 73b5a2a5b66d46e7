#pragma once

#include <optional>

#include <QByteArray>
#include <QMap>
#include <QString>

// The window's settings file: its geometry, its tool-bar state, the last scene picture and the
// gauge plug-in chosen in Options, the folders the file dialogs last used and the team server's
// address, kept as <options><Geometry/><State/><SceneFileName/><DevicePlugin/><Folders>
// <Folder kind="..."/>...</Folders><TeamServer/></options> with the two blobs in lower-case hex.
// DevicePlugin is written only once a plug-in has been chosen, Folders only once a file dialog
// has been used, TeamServer only while a server is set.
class OptionsFile
{
public:
    struct Contents
    {
        // Each field is set only when the file carried non-blank text for it.
        std::optional<QByteArray> geometry;
        std::optional<QByteArray> state;
        std::optional<QString> sceneFileName;
        std::optional<QString> devicePlugin;
        // Folder by kind of file; kinds without a folder are absent.
        QMap<QString, QString> folders;
        std::optional<QString> teamServer;
    };

    // options.xml beside the program, or in the user's configuration folder when the program's
    // folder cannot be written (an installation).
    static QString defaultPath();

    static bool write(const QString &path, const QByteArray &geometry, const QByteArray &state,
                      const QString &sceneFileName, const QString &devicePlugin = QString(),
                      const QMap<QString, QString> &folders = {},
                      const QString &teamServer = QString());

    // Reads what it can: a missing file gives nothing, a malformed one whatever came before the
    // error.
    static Contents read(const QString &path);
};
