#pragma once

#include <QObject>

class GaugeSession;
class ItemStore;
class LivePanel;
class StatusPanel;
class QWidget;

// A download of the gauge's memory into "Store Data": the item is emptied and made active, the
// gauge is asked for its readings, and a modal progress dialog runs until the transfer ends.
class StoreDownload : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(StoreDownload)

public:
    struct Panels
    {
        StatusPanel *status;
        LivePanel *live;
    };

    StoreDownload(QWidget *window, GaugeSession *gauge, ItemStore *items, const Panels &panels);

    // Returns when the progress dialog has closed; nothing happens while the gauge is closed.
    void run();

signals:
    // The gauge's progress, readings received of total, for the dialog while it runs.
    void progress(int total, int received);

private:
    QWidget *m_window;
    GaugeSession *m_gauge;
    ItemStore *m_items;
    Panels m_panels;
};
