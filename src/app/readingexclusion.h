#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

class DataModel;
class ItemData;
class ItemStore;
class QAction;
class QTableView;
class QUndoStack;
class QWidget;

// Excluding readings of the active item from the reading table, and taking them back in: the
// table's actions, the reason asked for, and the undo stack that keeps every step until the
// logger closes. A step whose item loses its readings or goes can no longer be undone, and the
// stack is emptied then.
class ReadingExclusion : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ReadingExclusion)

public:
    ReadingExclusion(QWidget *window, QTableView *table, DataModel *model, ItemStore *items);

    QAction *excludeAction() const { return m_exclude; }
    QAction *includeAction() const { return m_include; }
    QAction *undoAction() const { return m_undo; }
    QAction *redoAction() const { return m_redo; }
    QUndoStack *undoStack() const { return m_stack; }

    // The rows selected in the table, ascending.
    QVector<int> selectedRows() const;
    // Asks for the reason, then excludes the selected rows.
    void excludeSelected();
    void includeSelected();
    // Excludes the rows of the active item for reason, or includes them again when it is empty,
    // as one step that can be undone.
    void setExcluded(const QVector<int> &rows, const QString &reason);

private:
    void forget(ItemData *item);

    QWidget *m_window;
    QTableView *m_table;
    DataModel *m_model;
    ItemStore *m_items;
    QUndoStack *m_stack;
    QAction *m_exclude;
    QAction *m_include;
    QAction *m_undo;
    QAction *m_redo;
};
