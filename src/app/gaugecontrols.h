#pragma once

#include <QObject>

class GaugeSession;
class ItemStore;
class QAction;
class QWidget;
class StatusPanel;
class WindowSettings;

// The controls of the gauge: Connect, Disconnect, Start and Stop enabled as the gauge session
// and the active item allow, the connection state in the status bar, and the Options dialog that
// chooses the gauge.
class GaugeControls : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(GaugeControls)

public:
    struct Actions
    {
        QAction *connect;
        QAction *disconnect;
        QAction *start;
        QAction *stop;
    };

    GaugeControls(QWidget *window, const Actions &actions, GaugeSession *gauge,
                  const ItemStore *items, StatusPanel *status);

    // Only a measurement item takes live readings: Start is offered for nothing else.
    bool activeTakesLiveReadings() const;
    void showState();
    // Rebinds the gauge when another is chosen and keeps the choice, and the team server's
    // address, in settings; true when either changed.
    bool showOptions(WindowSettings *settings);

private:
    QWidget *m_window;
    Actions m_actions;
    GaugeSession *m_gauge;
    const ItemStore *m_items;
    StatusPanel *m_status;
};
