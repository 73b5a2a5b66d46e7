#pragma once

#include <QList>
#include <QObject>

class DmmData;
class GaugeSession;
class ItemStore;
class LivePanel;
class StatusPanel;
class QWidget;

// A download of the gauge's memory into "Store Data". The item is made active and the gauge asked
// for its readings, which a modal progress dialog follows until the transfer ends. The readings
// are gathered aside and replace what Store Data held only once every announced reading is in:
// a transfer that ends early (a pulled cable, silence, Escape) is reported as interrupted, and the
// user keeps either the readings received or the earlier ones.
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
    ~StoreDownload() override;

    // Returns when the download has ended; nothing happens while the gauge is closed.
    void run();
    bool isRunning() const { return m_running; }
    // A reading from the gauge's memory while the download runs; taken over.
    void receive(DmmData *reading);
    // "Download interrupted: 40 of 100 readings received.", or without a total beyond them.
    static QString interruptedText(int received, int announced);

signals:
    // The gauge's progress, readings received of total, for the dialog while it runs.
    void progress(int total, int received);
    // What the window's message list and status bar show.
    void message(const QString &text);

private:
    void noteProgress(int total, int received);
    // Store Data takes the readings received, or keeps the earlier ones; the user chooses when
    // there are both.
    void settleInterrupted();

    QWidget *m_window;
    GaugeSession *m_gauge;
    ItemStore *m_items;
    Panels m_panels;
    bool m_running = false;
    // The readings the gauge's last progress announced, and whether they had all come.
    int m_total = 0;
    bool m_complete = false;
    QList<DmmData *> m_received;
};
