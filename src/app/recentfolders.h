#pragma once

#include <QMap>
#include <QString>

// The folder each kind of file dialog last used, so that the next dialog of that kind starts
// there. Kept in the window's settings file as a map from kind names to folders.
class RecentFolders
{
public:
    enum Kind { Workbook, Pdf, Picture, ScenePicture, Import, Photo };

    // The folder last used for kind if it still exists, else the user's documents folder.
    QString folder(Kind kind) const;
    // Remembers the folder that holds fileName.
    void remember(Kind kind, const QString &fileName);

    QMap<QString, QString> toMap() const { return m_folders; }
    // Unknown kind names are dropped.
    void setMap(const QMap<QString, QString> &folders);

    static QString kindName(Kind kind);
    static QString fallbackFolder();

private:
    QMap<QString, QString> m_folders;
};
