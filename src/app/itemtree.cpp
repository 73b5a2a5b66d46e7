#include "itemtree.h"

#include <algorithm>
#include <utility>

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTreeView>

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
    if (index.parent().isValid())
        return RowKind::Item;
    if (index.row() == m_storeRow->row())
        return RowKind::StoreData;
    return index.row() == m_liveRow->row() ? RowKind::LiveGroup : RowKind::None;
}

QList<const ItemData *> ItemTree::selectedItems() const
{
    QModelIndexList rows = m_view->selectionModel()->selectedRows();
    // Tree order, whatever the order of clicks: a top-level row, then the rows under it.
    const auto place = [](const QModelIndex &index) {
        return index.parent().isValid() ? std::make_pair(index.parent().row(), index.row() + 1)
                                        : std::make_pair(index.row(), 0);
    };
    std::sort(rows.begin(), rows.end(),
              [&place](const QModelIndex &a, const QModelIndex &b) { return place(a) < place(b); });
    QList<const ItemData *> items;
    for (const QModelIndex &row : qAsConst(rows)) {
        const RowKind kind = kindOf(row);
        if (kind == RowKind::Item || kind == RowKind::StoreData)
            items << TvItemModel::itemAt(row);
    }
    return items;
}

QModelIndex ItemTree::indexOf(const ItemData *item) const
{
    const QStandardItem *row = rowOf(item);
    return row ? row->index() : QModelIndex();
}

void ItemTree::addRow(ItemData *item)
{
    auto *row = new QStandardItem(m_measureIcon, item->name());
    row->setData(QVariant::fromValue(item), TvItemModel::ItemDataRole);
    m_liveRow->appendRow(row);
    m_view->expand(m_liveRow->index());
}

void ItemTree::removeRow(ItemData *item)
{
    if (const QStandardItem *row = rowOf(item))
        m_liveRow->removeRow(row->row());
}

void ItemTree::markActive(ItemData *item)
{
    for (QStandardItem *top : {m_storeRow, m_liveRow}) {
        top->setData(false, TvItemModel::ActiveRole);
        for (int child = 0; child < top->rowCount(); ++child)
            top->child(child)->setData(false, TvItemModel::ActiveRole);
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
    for (QStandardItem *top : {m_storeRow, m_liveRow})
        if (item == TvItemModel::itemAt(top->index()))
            return top;
    for (int child = 0; child < m_liveRow->rowCount(); ++child) {
        QStandardItem *row = m_liveRow->child(child);
        if (TvItemModel::itemAt(row->index()) == item)
            return row;
    }
    return nullptr;
}
