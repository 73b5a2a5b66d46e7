#pragma once

#include <QCoreApplication>
#include <QString>

#include "itemnotes.h"
#include "picturefile.h"

class QWidget;
class RecentFolders;

// Asks for a logo or photo file and reads it for its use. A file PictureFile refuses is
// explained in a message box and nothing is taken.
class PictureChooser
{
    Q_DECLARE_TR_FUNCTIONS(PictureChooser)

public:
    // The picture and the name of its file; empty bytes when cancelled or refused.
    static ItemPhoto choose(QWidget *parent, const QString &caption, PictureFile::Use use,
                            RecentFolders *folders);
};
