#pragma once

#include <QString>
#include <QUndoCommand>
#include <QVector>

class ItemData;
class ItemStore;

// Excluding readings of an item for a reason, or including them again with an empty one, as a
// step of the undo stack. Undoing brings back what each reading was before, and writes that into
// the trail as well: the trail keeps every step, undone or not.
class ExclusionCommand : public QUndoCommand
{
public:
    ExclusionCommand(ItemStore *items, ItemData *item, const QVector<int> &indexes,
                     const QString &reason);

    ItemData *item() const { return m_item; }

    void redo() override;
    void undo() override;

private:
    ItemStore *m_items;
    ItemData *m_item;
    QVector<int> m_indexes;
    QString m_reason;
    // The reason of each reading of m_indexes before, empty for a reading that counted.
    QVector<QString> m_before;
};
