#include "picturechooser.h"

#include <QFileInfo>
#include <QMessageBox>

#include "filechooser.h"

ItemPhoto PictureChooser::choose(QWidget *parent, const QString &caption, PictureFile::Use use,
                                 RecentFolders *folders)
{
    const QString path = FileChooser::openFileName(parent, caption, PictureFile::filter(), folders,
                                                   RecentFolders::Photo);
    if (path.isEmpty())
        return {};
    QString error;
    const QByteArray bytes = PictureFile::read(path, use, &error);
    if (bytes.isEmpty()) {
        QMessageBox::warning(parent, caption, error);
        return {};
    }
    return {QFileInfo(path).fileName(), bytes};
}
