#include "itemnotesdialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "itemdata.h"
#include "picturechooser.h"

namespace {

const QSize ThumbnailSize(160, 120);

} // namespace

ItemNotesDialog::ItemNotesDialog(const ItemData *item, RecentFolders *folders, QWidget *parent)
    : QDialog(parent)
    , m_folders(folders)
    , m_text(new QPlainTextEdit(item->notes().text, this))
    , m_list(new QListWidget(this))
    , m_add(new QPushButton(tr("Add photo..."), this))
    , m_remove(new QPushButton(tr("Remove"), this))
{
    setWindowTitle(tr("Notes on %1").arg(item->name()));
    m_text->setObjectName(QStringLiteral("notesText"));
    m_text->setTabChangesFocus(true);
    m_list->setObjectName(QStringLiteral("photoList"));
    m_list->setViewMode(QListView::IconMode);
    m_list->setIconSize(ThumbnailSize);
    m_list->setMovement(QListView::Static);
    m_list->setWrapping(false);
    // Every cell as large as the largest thumbnail with its name, and room for all of them in a
    // row.
    const QSize cell = ThumbnailSize + QSize(24, 2 * m_list->fontMetrics().lineSpacing() + 8);
    m_list->setGridSize(cell);
    m_list->setWordWrap(true);
    const int frame = 2 * m_list->frameWidth() + 4;
    m_list->setMinimumSize(cell.width() * ItemNotes::MaxPhotos + frame, cell.height() + frame);
    m_add->setObjectName(QStringLiteral("addPhoto"));
    m_remove->setObjectName(QStringLiteral("removePhoto"));
    connect(m_add, &QPushButton::clicked, this, &ItemNotesDialog::addPhoto);
    connect(m_remove, &QPushButton::clicked, this, &ItemNotesDialog::removePhoto);
    connect(m_list, &QListWidget::currentRowChanged, this, &ItemNotesDialog::updateButtons);

    auto *photoButtons = new QHBoxLayout;
    photoButtons->addWidget(new QLabel(tr("Photos (up to %1):").arg(ItemNotes::MaxPhotos), this));
    photoButtons->addStretch();
    photoButtons->addWidget(m_add);
    photoButtons->addWidget(m_remove);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Notes:"), this));
    layout->addWidget(m_text);
    layout->addLayout(photoButtons);
    layout->addWidget(m_list);
    layout->addWidget(buttons);

    for (const ItemPhoto &photo : item->notes().photos)
        appendPhoto(photo);
    updateButtons();
}

ItemNotes ItemNotesDialog::notes() const
{
    return {m_text->toPlainText().trimmed(), m_photos};
}

void ItemNotesDialog::appendPhoto(const ItemPhoto &photo)
{
    const QImage image = QImage::fromData(photo.bytes);
    const QPixmap thumbnail = QPixmap::fromImage(
        image.scaled(ThumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_list->addItem(new QListWidgetItem(QIcon(thumbnail), photo.name));
    m_photos.append(photo);
}

void ItemNotesDialog::addPhoto()
{
    const ItemPhoto photo =
        PictureChooser::choose(this, tr("Add photo"), PictureFile::Photo, m_folders);
    if (photo.bytes.isEmpty())
        return;
    appendPhoto(photo);
    m_list->setCurrentRow(m_list->count() - 1);
    updateButtons();
}

void ItemNotesDialog::removePhoto()
{
    const int row = m_list->currentRow();
    if (row < 0)
        return;
    m_photos.removeAt(row);
    delete m_list->takeItem(row);
    updateButtons();
}

void ItemNotesDialog::updateButtons()
{
    m_add->setEnabled(m_photos.size() < ItemNotes::MaxPhotos);
    m_remove->setEnabled(m_list->currentRow() >= 0);
}
