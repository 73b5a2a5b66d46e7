#include "exclusioncommand.h"

#include <QCoreApplication>
#include <QHash>

#include "itemdata.h"
#include "itemstore.h"

ExclusionCommand::ExclusionCommand(ItemStore *items, ItemData *item, const QVector<int> &indexes,
                                   const QString &reason)
    : m_items(items)
    , m_item(item)
    , m_indexes(indexes)
    , m_reason(reason)
{
    m_before.reserve(indexes.size());
    for (int index : indexes)
        m_before.append(item->exclusionReason(index));
    setText(reason.isEmpty()
                ? QCoreApplication::translate("ExclusionCommand", "Include %n reading(s) again",
                                              nullptr, indexes.size())
                : QCoreApplication::translate("ExclusionCommand", "Exclude %n reading(s)", nullptr,
                                              indexes.size()));
}

void ExclusionCommand::redo()
{
    m_items->setExcluded(m_item, m_indexes, m_reason);
}

void ExclusionCommand::undo()
{
    // One change per earlier reason: mostly one, the readings counted before.
    QHash<QString, QVector<int>> byReason;
    for (int i = 0; i < m_indexes.size(); ++i)
        byReason[m_before.at(i)].append(m_indexes.at(i));
    for (auto it = byReason.cbegin(); it != byReason.cend(); ++it)
        m_items->setExcluded(m_item, it.value(), it.key());
}
