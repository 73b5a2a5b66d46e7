#pragma once

#include <QIcon>
#include <QList>
#include <QModelIndex>
#include <QObject>

class ItemData;
class ItemStore;
class QStandardItem;
class QTreeView;
class TvItemModel;

// The item tree: "Store Data", then "Live Data" with the measurement and import items under it.
// Its rows follow the item store; the active item's row is marked and made current.
class ItemTree : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ItemTree)

public:
    // What a row of the tree stands for; it decides what can be done with it.
    enum class RowKind { None, StoreData, LiveGroup, Item };

    ItemTree(QTreeView *view, ItemStore *items, QObject *parent);

    TvItemModel *model() const { return m_model; }
    RowKind kindOf(const QModelIndex &index) const;
    QModelIndex indexOf(const ItemData *item) const;
    // The items of the selected rows, in tree order; the "Live Data" row stands for none.
    QList<const ItemData *> selectedItems() const;

private:
    void addRow(ItemData *item);
    void removeRow(ItemData *item);
    void markActive(ItemData *item);
    QStandardItem *rowOf(const ItemData *item) const;

    QTreeView *m_view;
    TvItemModel *m_model;
    QStandardItem *m_storeRow;
    QStandardItem *m_liveRow;
    QIcon m_measureIcon;
};
