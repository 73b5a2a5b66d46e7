#pragma once

#include <QModelIndexList>
#include <QObject>

class QAbstractItemModel;
class QAbstractItemView;

// Copy (Ctrl+C) on a table: the selected rows go to the clipboard as tab-separated text with the
// header as its first line, which spreadsheets paste as cells.
class TableCopy : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(TableCopy)

public:
    explicit TableCopy(QAbstractItemView *view);

    // The rows, in the model's order whatever the order they were selected in, every column as it
    // is shown, without the padding that aligns it on screen.
    static QString text(const QAbstractItemModel *model, QModelIndexList rows);

    void copy();

private:
    QAbstractItemView *m_view;
};
