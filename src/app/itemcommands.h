#pragma once

#include <QModelIndex>
#include <QObject>
#include <QString>

#include "itemdata.h"

class ItemStore;
class ItemTree;
class QTreeView;
class RecentFolders;
class QWidget;

// What the item tool bar and the tree's context menu do with the tree's current row: activate,
// add, delete, rename, judge and annotate items, asking the user where a command needs an answer.
class ItemCommands : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ItemCommands)

public:
    ItemCommands(QWidget *window, QTreeView *view, ItemTree *tree, ItemStore *items,
                 RecentFolders *folders);

    // The item of the row at index becomes active; the "Live Data" group row has none.
    void activate(const QModelIndex &index);
    // A new item of that name, made active; an empty name makes none.
    void add(const QString &name, ItemData::DataType type);
    // Asks for the name, proposing the next "MeasureN".
    void askNew();
    // After a question; the row that takes the active item's place becomes active.
    void askDelete();
    void askRename();
    // The requirement dialog, for an item row or "Store Data".
    void editRequirement();
    // The notes dialog, for an item row or "Store Data".
    void editNotes();

private:
    // The item of the current row when it is an item or "Store Data", else nullptr.
    ItemData *currentItem() const;

    QWidget *m_window;
    QTreeView *m_view;
    ItemTree *m_tree;
    ItemStore *m_items;
    RecentFolders *m_folders;
};
