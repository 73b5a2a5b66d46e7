#include "itemtree.h"

#include <algorithm>
#include <utility>

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTreeView>
#include <QVector>

#include "itemdata.h"
#include "itemstore.h"
#include "tvitemmodel.h"

ItemTree::ItemTree(QTreeView *view, ItemStore *items, QObject *parent)
    : QObject(parent)
    , m_view(view)
    , m_model(new TvItemModel(this))
    , m_measureIcon(QStringLiteral(":/image/measure.png"))
{
    m_model->setHorizontalHeaderLabels({QStringLiteral("Name")});
    m_storeRow =
        new QStandardItem(QIcon(QStringLiteral(":/image/rom.png")), items->storeData()->name());
    m_storeRow->setData(QVariant::fromValue(items->storeData()), TvItemModel::ItemDataRole);
    m_model->appendRow(m_storeRow);
    m_liveRow =
        new QStandardItem(QIcon(QStringLiteral(":/image/live.png")), items->liveGroup()->name());
    m_liveRow->setData(QVariant::fromValue(items->liveGroup()), TvItemModel::ItemDataRole);
    m_model->appendRow(m_liveRow);

    view->setHeaderHidden(true);
    view->setAnimated(true);
    view->header()->setStretchLastSection(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setModel(m_model);

    connect(items, &ItemStore::itemAdded, this, &ItemTree::addRow);
    connect(items, &ItemStore::itemRemoved, this, &ItemTree::removeRow);
    connect(items, &ItemStore::activeChanged, this, &ItemTree::markActive);
    connect(items, &ItemStore::renamed, this, [this](ItemData *item) {
        if (QStandardItem *row = rowOf(item))
            row->setText(item->name());
    });
}

ItemTree::RowKind ItemTree::kindOf(const QModelIndex &index) const
{
    if (!index.isValid())
        return RowKind::None;
    QModelIndex top = index;
    while (top.parent().isValid())
        top = top.parent();
    if (m_teamRow && top.row() == m_teamRow->row()) {
        // The tree owns the items of its group rows; the team's own items are not its.
        const ItemData *item = TvItemModel::itemAt(index);
        return !item || item->parent() == this ? RowKind::TeamGroup : RowKind::TeamItem;
    }
    if (index.parent().isValid())
        return RowKind::Item;
    if (index.row() == m_storeRow->row())
        return RowKind::StoreData;
    return index.row() == m_liveRow->row() ? RowKind::LiveGroup : RowKind::None;
}

QList<const ItemData *> ItemTree::selectedItems() const
{
    QModelIndexList rows = m_view->selectionModel()->selectedRows();
    // Tree order, whatever the order of clicks: the rows from the top down to each.
    const auto place = [](QModelIndex index) {
        QVector<int> path;
        for (; index.isValid(); index = index.parent())
            path.prepend(index.row());
        return path;
    };
    std::sort(rows.begin(), rows.end(),
              [&place](const QModelIndex &a, const QModelIndex &b) { return place(a) < place(b); });
    QList<const ItemData *> items;
    for (const QModelIndex &row : qAsConst(rows)) {
        const RowKind kind = kindOf(row);
        if (kind == RowKind::Item || kind == RowKind::StoreData || kind == RowKind::TeamItem)
            items << TvItemModel::itemAt(row);
    }
    return items;
}

void ItemTree::showTeam(bool shown)
{
    if (shown == (m_teamRow != nullptr))
        return;
    if (!shown) {
        delete TvItemModel::itemAt(m_teamRow->index());
        m_model->removeRow(m_teamRow->row());
        m_teamRow = nullptr;
        return;
    }
    m_teamRow = newRow(QIcon(QStringLiteral(":/image/live.png")),
                       new ItemData(tr("Team"), ItemData::TeamData, this));
    m_model->appendRow(m_teamRow);
}

void ItemTree::addTeamItem(ItemData *item, const QString &inspector, const QString &job)
{
    if (!m_teamRow)
        return;
    QStandardItem *jobRow =
        groupRow(groupRow(m_teamRow, inspector), job.isEmpty() ? tr("No job") : job);
    jobRow->appendRow(newRow(m_measureIcon, item));
    m_view->expand(m_teamRow->index());
}

QStandardItem *ItemTree::groupRow(QStandardItem *parent, const QString &name)
{
    for (int child = 0; child < parent->rowCount(); ++child) {
        QStandardItem *row = parent->child(child);
        if (TvItemModel::itemAt(row->index())->name() == name)
            return row;
    }
    QStandardItem *row = newRow(QIcon(), new ItemData(name, ItemData::TeamData, this));
    parent->appendRow(row);
    return row;
}

QStandardItem *ItemTree::newRow(const QIcon &icon, ItemData *item) const
{
    auto *row = new QStandardItem(icon, item->name());
    row->setData(QVariant::fromValue(item), TvItemModel::ItemDataRole);
    return row;
}

QModelIndex ItemTree::indexOf(const ItemData *item) const
{
    const QStandardItem *row = rowOf(item);
    return row ? row->index() : QModelIndex();
}

void ItemTree::addRow(ItemData *item)
{
    m_liveRow->appendRow(newRow(m_measureIcon, item));
    m_view->expand(m_liveRow->index());
}

void ItemTree::removeRow(ItemData *item)
{
    QStandardItem *row = rowOf(item);
    if (!row)
        return;
    QStandardItem *parent = row->parent();
    parent->removeRow(row->row());
    // A team group without items goes with its last one.
    while (parent != m_teamRow && parent != m_liveRow && !parent->hasChildren()) {
        QStandardItem *group = parent;
        parent = group->parent();
        delete TvItemModel::itemAt(group->index());
        parent->removeRow(group->row());
    }
}

void ItemTree::markActive(ItemData *item)
{
    QList<QStandardItem *> rows = {m_model->invisibleRootItem()};
    while (!rows.isEmpty()) {
        QStandardItem *parent = rows.takeLast();
        for (int child = 0; child < parent->rowCount(); ++child) {
            parent->child(child)->setData(false, TvItemModel::ActiveRole);
            rows.append(parent->child(child));
        }
    }
    QStandardItem *row = rowOf(item);
    if (!row)
        return;
    row->setData(true, TvItemModel::ActiveRole);
    m_view->setCurrentIndex(row->index());
}

QStandardItem *ItemTree::rowOf(const ItemData *item) const
{
    if (!item)
        return nullptr;
    const QModelIndexList found = m_model->match(m_model->index(0, 0), TvItemModel::ItemDataRole,
                                                 QVariant::fromValue(const_cast<ItemData *>(item)),
                                                 1, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : m_model->itemFromIndex(found.first());
}
