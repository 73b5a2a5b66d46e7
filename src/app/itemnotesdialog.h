#pragma once

#include <QDialog>
#include <QList>

#include "itemnotes.h"

class ItemData;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class RecentFolders;

// Edits what the inspector notes about one item: a text and up to ItemNotes::MaxPhotos photos,
// shown as thumbnails. The item is read, never changed: the caller stores notes() after exec().
class ItemNotesDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(ItemNotesDialog)

public:
    ItemNotesDialog(const ItemData *item, RecentFolders *folders, QWidget *parent = nullptr);

    ItemNotes notes() const;

private slots:
    void addPhoto();
    void removePhoto();
    void updateButtons();

private:
    void appendPhoto(const ItemPhoto &photo);

    RecentFolders *m_folders;
    QPlainTextEdit *m_text;
    QListWidget *m_list;
    QPushButton *m_add;
    QPushButton *m_remove;
    // In the list's order.
    QList<ItemPhoto> m_photos;
};
