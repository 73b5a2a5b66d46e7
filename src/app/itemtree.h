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

// The item tree: "Store Data", then "Live Data" with the measurement and import items under it,
// and while a team server is set "Team" with the colleagues' items under their inspector and job.
// Its rows follow the item store; the active item's row is marked and made current.
class ItemTree : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ItemTree)

public:
    // What a row of the tree stands for; it decides what can be done with it.
    enum class RowKind { None, StoreData, LiveGroup, Item, TeamGroup, TeamItem };

    ItemTree(QTreeView *view, ItemStore *items, QObject *parent);

    TvItemModel *model() const { return m_model; }
    RowKind kindOf(const QModelIndex &index) const;
    QModelIndex indexOf(const ItemData *item) const;
    // The items of the selected rows, in tree order; the group rows stand for none.
    QList<const ItemData *> selectedItems() const;

    // Adds or removes the "Team" row; removing it needs its items gone first.
    void showTeam(bool shown);
    // A read-only item under inspector and job, below the others there; its row goes when the
    // store announces its removal, and groups left empty with it.
    void addTeamItem(ItemData *item, const QString &inspector, const QString &job);

private:
    void addRow(ItemData *item);
    void removeRow(ItemData *item);
    void markActive(ItemData *item);
    QStandardItem *rowOf(const ItemData *item) const;
    // The child of parent named name, made when missing.
    QStandardItem *groupRow(QStandardItem *parent, const QString &name);
    QStandardItem *newRow(const QIcon &icon, ItemData *item) const;

    QTreeView *m_view;
    TvItemModel *m_model;
    QStandardItem *m_storeRow;
    QStandardItem *m_liveRow;
    QStandardItem *m_teamRow = nullptr;
    QIcon m_measureIcon;
};
