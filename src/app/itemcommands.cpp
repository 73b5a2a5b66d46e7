#include "itemcommands.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QTreeView>

#include "itemnotesdialog.h"
#include "itemstore.h"
#include "itemtree.h"
#include "requirementdialog.h"
#include "tvitemmodel.h"

ItemCommands::ItemCommands(QWidget *window, QTreeView *view, ItemTree *tree, ItemStore *items,
                           RecentFolders *folders)
    : QObject(window)
    , m_window(window)
    , m_view(view)
    , m_tree(tree)
    , m_items(items)
    , m_folders(folders)
{
}

void ItemCommands::activate(const QModelIndex &index)
{
    // Group rows stand for no item of their own.
    const ItemTree::RowKind kind = m_tree->kindOf(index);
    if (kind != ItemTree::RowKind::LiveGroup && kind != ItemTree::RowKind::TeamGroup)
        m_items->activate(TvItemModel::itemAt(index));
}

void ItemCommands::add(const QString &name, ItemData::DataType type)
{
    if (!name.isEmpty())
        m_items->activate(m_items->add(name, type));
}

void ItemCommands::askNew()
{
    const QString name =
        QInputDialog::getText(m_window, QString(), QStringLiteral("Name:"), QLineEdit::Normal,
                              m_items->nextName(QStringLiteral("Measure")))
            .trimmed();
    add(name, ItemData::MeasureData);
}

void ItemCommands::askDelete()
{
    const QModelIndex index = m_view->currentIndex();
    // Only item rows can go: the two group rows hold the tree together.
    if (m_tree->kindOf(index) != ItemTree::RowKind::Item)
        return;
    if (QMessageBox::question(m_window, QString(), tr("Are you sure delete this item?"),
                              QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return;
    ItemData *item = TvItemModel::itemAt(index);
    const bool wasActive = item == m_items->active();
    m_items->remove(item);
    if (wasActive)
        activate(m_view->currentIndex());
}

void ItemCommands::askRename()
{
    const QModelIndex index = m_view->currentIndex();
    const ItemTree::RowKind kind = m_tree->kindOf(index);
    if (kind != ItemTree::RowKind::Item && kind != ItemTree::RowKind::LiveGroup)
        return;
    const QString name =
        QInputDialog::getText(m_window, QString(), QStringLiteral("New name:"), QLineEdit::Normal,
                              index.data(Qt::DisplayRole).toString())
            .trimmed();
    if (!name.isEmpty())
        m_items->rename(TvItemModel::itemAt(index), name);
}

ItemData *ItemCommands::currentItem() const
{
    const QModelIndex index = m_view->currentIndex();
    const ItemTree::RowKind kind = m_tree->kindOf(index);
    if (kind != ItemTree::RowKind::Item && kind != ItemTree::RowKind::StoreData)
        return nullptr;
    return TvItemModel::itemAt(index);
}

void ItemCommands::editRequirement()
{
    ItemData *item = currentItem();
    if (!item)
        return;
    RequirementDialog dialog(item, m_window);
    if (dialog.exec() == QDialog::Accepted)
        m_items->setRequirement(item, dialog.requirement());
}

void ItemCommands::editNotes()
{
    ItemData *item = currentItem();
    if (!item)
        return;
    ItemNotesDialog dialog(item, m_folders, m_window);
    if (dialog.exec() == QDialog::Accepted)
        m_items->setNotes(item, dialog.notes());
}
