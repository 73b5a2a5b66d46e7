#pragma once

#include <QObject>

class GaugeSession;
class ItemData;
class ItemStore;
class LivePanel;
class StatusPanel;
class QWidget;

// A download of the gauge's memory into "Store Data": the item's readings are set aside, it is
// made active, the gauge is asked for its readings, and a modal progress dialog runs until the
// transfer ends. A complete transfer replaces the readings set aside. One that stops short (the
// gauge silent or lost, or cancelled) is reported with its counts, and the user keeps the readings
// received or goes back to the earlier ones.
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
    // Whether a stored reading that arrives now belongs in "Store Data": not after the user went
    // back to the earlier readings, until the next download.
    bool takesReadings() const { return m_takesReadings; }

    // "Download interrupted: 40 of 100 readings received.", or "cancelled" when byUser; total is
    // negative when the gauge never said it.
    static QString shortText(int received, int total, bool byUser);

signals:
    // The gauge's progress, readings received of total, for the dialog while it runs.
    void progress(int total, int received);
    // For the message list and the status bar.
    void message(const QString &text);

private:
    QWidget *m_window;
    GaugeSession *m_gauge;
    ItemStore *m_items;
    Panels m_panels;
    int m_total = -1;
    bool m_takesReadings = true;
};
