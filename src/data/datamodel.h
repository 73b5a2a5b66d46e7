#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QList>

class DmmData;
class ItemData;

// Table of the active item's readings: number, time, value, unit and basis. The rows point into
// the item's own list; the model owns neither the item nor the readings. Rows only ever change
// by insertion and removal, so a view keeps its scroll position and selection while readings
// stream in.
class DataModel : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY(DataModel)

public:
    explicit DataModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

    // The item whose unit decides the Value and Unit columns; emits nothing.
    void setItem(ItemData *item);
    ItemData *item() const { return m_item; }

    void appendReadingRow(DmmData *reading);
    // Appends readings as new rows and returns the row count afterwards.
    int setReadings(const QList<DmmData *> &readings);
    void clearRows();
    // Tells the views that the row backgrounds changed: the item's requirement did.
    void refreshMarks();
    // Tells the views that rows first to last were excluded or included again; the marks of the
    // rows after them may have moved with the spots and areas.
    void refreshExclusions(int first, int last);

    // The reading shown in row, or nullptr outside the table.
    DmmData *reading(int row) const;

    // Row backgrounds of an item with a requirement: readings out of its limits, ISO 19840
    // readings below the nominal thickness, over-range readings. Unmarked rows have none.
    static constexpr QRgb OutOfLimitColor = 0xFFFFC8C8;
    static constexpr QRgb BelowNominalColor = 0xFFFFEBB4;
    static constexpr QRgb OverRangeColor = 0xFFE6E6E6;
    // The text of an excluded reading's row, struck through; its reason is the row's tool tip.
    static constexpr QRgb ExcludedColor = 0xFF9A9A9A;

private:
    QVariant markBrush(int row) const;
    // The struck-through font, grey text and reason of an excluded reading's row.
    QVariant exclusionData(int row, int role) const;

    QList<DmmData *> m_rows;
    ItemData *m_item = nullptr;
};
