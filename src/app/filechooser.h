#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include "recentfolders.h"

class QWidget;

// The file dialogs of the exports and the import. Each starts in the folder last used for its
// kind of file and remembers the folder of the file chosen.
class FileChooser
{
    Q_DECLARE_TR_FUNCTIONS(FileChooser)

public:
    // Asks for a file to write. A name without one of the accepted suffixes gets the filter's
    // before the user is asked whether to replace an existing file. Empty when cancelled.
    static QString saveFileName(QWidget *parent, const QString &caption, const QString &filter,
                                const QStringList &accepted, RecentFolders *folders,
                                RecentFolders::Kind kind);
    // Asks for an existing file to read. Empty when cancelled.
    static QString openFileName(QWidget *parent, const QString &caption, const QString &filter,
                                RecentFolders *folders, RecentFolders::Kind kind);
};
