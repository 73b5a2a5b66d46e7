#include "filechooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "filesuffix.h"

QString FileChooser::saveFileName(QWidget *parent, const QString &caption, const QString &filter,
                                  const QStringList &accepted, RecentFolders *folders,
                                  RecentFolders::Kind kind)
{
    QFileDialog dialog(parent, caption, folders->folder(kind), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog would ask about the name as typed; the question belongs to the completed name.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString fileName =
        FileSuffix::complete(dialog.selectedFiles().constFirst(),
                             FileSuffix::ofFilter(dialog.selectedNameFilter()), accepted);
    if (fileName.isEmpty())
        return QString();
    if (QFileInfo::exists(fileName) &&
        QMessageBox::question(parent, QString(),
                              tr("%1 already exists.\nDo you want to replace it?")
                                  .arg(QDir::toNativeSeparators(fileName)),
                              QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return QString();
    folders->remember(kind, fileName);
    return fileName;
}

QString FileChooser::openFileName(QWidget *parent, const QString &caption, const QString &filter,
                                  RecentFolders *folders, RecentFolders::Kind kind)
{
    const QString fileName =
        QFileDialog::getOpenFileName(parent, caption, folders->folder(kind), filter);
    folders->remember(kind, fileName);
    return fileName;
}
