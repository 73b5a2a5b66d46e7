#pragma once

#include <QStandardItemModel>

class ItemData;

// Model of the item tree. A row shows the name of the ItemData it references and is drawn bold
// and coloured while it carries the active flag; the model never owns or deletes items.
class TvItemModel : public QStandardItemModel
{
    Q_OBJECT
    Q_DISABLE_COPY(TvItemModel)

public:
    enum { ActiveRole = Qt::UserRole + 1, ItemDataRole = Qt::UserRole + 2 };

    explicit TvItemModel(QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // The item a row references, or nullptr.
    static ItemData *itemAt(const QModelIndex &index);

signals:
    void editDataChanged(const QModelIndex &index);
};
