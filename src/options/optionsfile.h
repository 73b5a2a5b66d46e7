#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

// The window's settings file: its geometry, its tool-bar state and the last scene picture, kept as
// <options><Geometry/><State/><SceneFileName/></options> with the two blobs in lower-case hex.
class OptionsFile
{
public:
    struct Contents
    {
        // Each field is set only when the file carried non-blank text for it.
        std::optional<QByteArray> geometry;
        std::optional<QByteArray> state;
        std::optional<QString> sceneFileName;
    };

    static bool write(const QString &path, const QByteArray &geometry, const QByteArray &state,
                      const QString &sceneFileName);

    // Reads what it can: a missing file gives nothing, a malformed one whatever came before the
    // error.
    static Contents read(const QString &path);
};
