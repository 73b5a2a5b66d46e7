#include "recentfolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

constexpr RecentFolders::Kind Kinds[] = {RecentFolders::Workbook, RecentFolders::Pdf,
                                         RecentFolders::Picture,  RecentFolders::ScenePicture,
                                         RecentFolders::Import,   RecentFolders::Photo};

} // namespace

QString RecentFolders::folder(Kind kind) const
{
    const QString remembered = m_folders.value(kindName(kind));
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir())
        return remembered;
    return fallbackFolder();
}

void RecentFolders::remember(Kind kind, const QString &fileName)
{
    if (!fileName.isEmpty())
        m_folders.insert(kindName(kind), QFileInfo(fileName).absolutePath());
}

void RecentFolders::setMap(const QMap<QString, QString> &folders)
{
    m_folders.clear();
    for (const Kind kind : Kinds) {
        const QString folder = folders.value(kindName(kind));
        if (!folder.isEmpty())
            m_folders.insert(kindName(kind), folder);
    }
}

QString RecentFolders::kindName(Kind kind)
{
    switch (kind) {
    case Workbook:
        return QStringLiteral("workbook");
    case Pdf:
        return QStringLiteral("pdf");
    case Picture:
        return QStringLiteral("picture");
    case ScenePicture:
        return QStringLiteral("scene");
    case Import:
        return QStringLiteral("import");
    case Photo:
        return QStringLiteral("photo");
    }
    return QString();
}

QString RecentFolders::fallbackFolder()
{
    // Not the program's folder: an installed program's folder is no place for the user's files.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}
