#include "tvitemmodel.h"

#include <QColor>
#include <QFont>

#include "itemdata.h"

TvItemModel::TvItemModel(QObject *parent)
    : QStandardItemModel(parent)
{
}

QVariant TvItemModel::data(const QModelIndex &index, int role) const
{
    switch (role) {
    case Qt::DisplayRole: {
        // The stored text is never shown: renaming an item renames its row without touching it.
        const ItemData *item = data(index, ItemDataRole).value<ItemData *>();
        return item ? item->name() : QString();
    }
    case Qt::FontRole: {
        QFont font = QStandardItemModel::data(index, role).value<QFont>();
        font.setWeight(data(index, ActiveRole).toBool() ? QFont::Bold : QFont::Normal);
        return font;
    }
    case Qt::ForegroundRole:
        if (data(index, ActiveRole).toBool())
            return QColor(QStringLiteral("#d57d00"));
        return QStandardItemModel::data(index, role);
    default:
        return QStandardItemModel::data(index, role);
    }
}

bool TvItemModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const bool changed = value != data(index, Qt::DisplayRole);
    const bool stored = QStandardItemModel::setData(index, value, role);
    // A write that stored nothing (an index outside the tree) changed no name.
    if (role == Qt::EditRole && changed && stored)
        emit editDataChanged(index);
    return stored;
}

ItemData *TvItemModel::itemAt(const QModelIndex &index)
{
    return index.data(ItemDataRole).value<ItemData *>();
}
