#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

// The window's settings file: its geometry, its tool-bar state, the last scene picture and the
// gauge plug-in chosen in Options, kept as
// <options><Geometry/><State/><SceneFileName/><DevicePlugin/></options> with the two blobs in
// lower-case hex. DevicePlugin is written only once a plug-in has been chosen.
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
    };

    static bool write(const QString &path, const QByteArray &geometry, const QByteArray &state,
                      const QString &sceneFileName, const QString &devicePlugin = QString());

    // Reads what it can: a missing file gives nothing, a malformed one whatever came before the
    // error.
    static Contents read(const QString &path);
};
