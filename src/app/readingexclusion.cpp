#include "readingexclusion.h"

#include <algorithm>

#include <QAction>
#include <QItemSelectionModel>
#include <QTableView>
#include <QUndoStack>

#include "datamodel.h"
#include "exclusioncommand.h"
#include "exclusiondialog.h"
#include "itemstore.h"

ReadingExclusion::ReadingExclusion(QWidget *window, QTableView *table, DataModel *model,
                                   ItemStore *items)
    : QObject(window)
    , m_window(window)
    , m_table(table)
    , m_model(model)
    , m_items(items)
    , m_stack(new QUndoStack(this))
    , m_exclude(new QAction(tr("Exclude readings..."), table))
    , m_include(new QAction(tr("Include again"), table))
    , m_undo(m_stack->createUndoAction(window, tr("Undo")))
    , m_redo(m_stack->createRedoAction(window, tr("Redo")))
{
    m_exclude->setObjectName(QStringLiteral("actionExcludeReadings"));
    // The keys that would delete rows elsewhere: readings are never deleted, only excluded.
    m_exclude->setShortcut(QKeySequence(Qt::Key_Delete));
    m_include->setObjectName(QStringLiteral("actionIncludeReadings"));
    m_include->setShortcut(QKeySequence(Qt::Key_Insert));
    for (QAction *action : {m_exclude, m_include}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        table->addAction(action);
    }
    m_undo->setObjectName(QStringLiteral("actionUndo"));
    m_undo->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_Z));
    m_redo->setObjectName(QStringLiteral("actionRedo"));
    m_redo->setShortcut(QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_Z));
    window->addActions({m_undo, m_redo});
    connect(m_exclude, &QAction::triggered, this, &ReadingExclusion::excludeSelected);
    connect(m_include, &QAction::triggered, this, &ReadingExclusion::includeSelected);
    connect(items, &ItemStore::itemRemoved, this, &ReadingExclusion::forget);
    connect(items, &ItemStore::readingsCleared, this, &ReadingExclusion::forget);
    // A colleague's readings are shown as the colleague left them.
    connect(items, &ItemStore::activeChanged, this, [this](const ItemData *item) {
        for (QAction *action : {m_exclude, m_include})
            action->setEnabled(!item || !item->isReadOnly());
    });
}

QVector<int> ReadingExclusion::selectedRows() const
{
    QVector<int> rows;
    // The ranges, not the indexes: a hundred thousand selected rows are one range.
    const QItemSelection selection = m_table->selectionModel()->selection();
    for (const QItemSelectionRange &range : selection) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void ReadingExclusion::excludeSelected()
{
    const QVector<int> rows = selectedRows();
    if (rows.isEmpty() || !m_model->item())
        return;
    ExclusionDialog dialog(rows.size(), m_window);
    if (dialog.exec() == QDialog::Accepted && !dialog.reason().isEmpty())
        setExcluded(rows, dialog.reason());
}

void ReadingExclusion::includeSelected()
{
    setExcluded(selectedRows(), QString());
}

void ReadingExclusion::setExcluded(const QVector<int> &rows, const QString &reason)
{
    ItemData *item = m_model->item();
    if (!item)
        return;
    QVector<int> changing;
    changing.reserve(rows.size());
    for (int row : rows) {
        if (row >= 0 && row < m_model->rowCount() && item->exclusionReason(row) != reason)
            changing.append(row);
    }
    if (!changing.isEmpty())
        m_stack->push(new ExclusionCommand(m_items, item, changing, reason));
}

void ReadingExclusion::forget(ItemData *item)
{
    for (int i = 0; i < m_stack->count(); ++i) {
        if (static_cast<const ExclusionCommand *>(m_stack->command(i))->item() == item) {
            m_stack->clear();
            return;
        }
    }
}
