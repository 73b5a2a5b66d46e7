#pragma once

#include <QObject>
#include <QVector>

class DMMChart;
class DataModel;
class Histogram;
class ItemData;
class ItemStore;
class LivePanel;
class QTableView;
class TableFollower;

// The views of the active item: the live panel, the reading table, the histogram and the chart.
// They follow the item store: a new active item is shown whole, appended readings are added to
// what is shown, and a change of unit or requirement redraws titles, limits and marks.
class ActiveItemViews : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ActiveItemViews)

public:
    struct Views
    {
        LivePanel *panel;
        QTableView *table;
        Histogram *histogram;
        DMMChart *chart;
    };

    ActiveItemViews(const Views &views, ItemStore *items, QObject *parent);
    ~ActiveItemViews() override;

    // The table's model: the active item's readings.
    DataModel *tableModel() const { return m_tableModel; }
    // Shows the active item whole again: its table, histogram, chart and statistics.
    void refreshItemViews();

private:
    void showActive(ItemData *item);
    void showAppended(ItemData *item, int first, int count);
    // The readings first to first + count - 1 into the table, the histogram and the chart.
    void addToViews(ItemData *item, int first, int count);
    void showUnit(ItemData *item);
    void showRequirement();
    // The histogram's bands: around the requirement's limits if any, up to the item's range.
    void showBands();
    void showCleared(ItemData *item);
    // The readings at indexes were excluded or included again: the table restyles them, the
    // chart takes them out of its line or back in, the histogram recounts.
    void showExclusions(ItemData *item, const QVector<int> &indexes);
    // The chart's hollow points and the histogram's counts for the item's excluded readings.
    void showExcluded(const ItemData *item);
    void showStatistics();
    void clearViews();
    // The chart's and histogram's titles and decimals of micrometres or mils.
    void setThicknessUnit(bool micrometres);

    Views m_views;
    ItemStore *m_items;
    DataModel *m_tableModel;
    // Keeps the table on its newest row while it is on screen.
    TableFollower *m_tableFollower;
};
