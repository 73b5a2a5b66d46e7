#include "gaugecontrols.h"

#include <QAction>

#include "gaugesession.h"
#include "itemstore.h"
#include "optiondialog.h"
#include "statuspanel.h"
#include "windowsettings.h"

GaugeControls::GaugeControls(QWidget *window, const Actions &actions, GaugeSession *gauge,
                             const ItemStore *items, StatusPanel *status)
    : QObject(window)
    , m_window(window)
    , m_actions(actions)
    , m_gauge(gauge)
    , m_items(items)
    , m_status(status)
{
}

bool GaugeControls::activeTakesLiveReadings() const
{
    return m_items->active() && m_items->active()->dataType() == ItemData::MeasureData;
}

void GaugeControls::showState()
{
    const bool open = m_gauge->isOpen();
    const bool acquiring = m_gauge->isAcquiring();
    m_actions.connect->setEnabled(m_gauge->canConnect());
    m_actions.disconnect->setEnabled(open);
    m_actions.start->setEnabled(open && !acquiring && activeTakesLiveReadings());
    m_actions.stop->setEnabled(acquiring);
    if (!open)
        m_status->setState(StatusPanel::State::Disconnected);
    else if (acquiring && m_items->active())
        m_status->setState(StatusPanel::State::Recording, m_items->active()->name());
    else
        m_status->setState(StatusPanel::State::Connected);
}

bool GaugeControls::showOptions(WindowSettings *settings)
{
    const QString bound = m_gauge->boundId();
    OptionDialog dialog(m_window);
    for (const DeviceBinder::Plugin &plugin : m_gauge->binder().plugins())
        if (plugin.offersAll())
            dialog.addGauge(plugin.id, plugin.name, plugin.instance);
    dialog.setCurrentGauge(bound);
    dialog.setTeamServer(settings->teamServer);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const bool teamChanged = dialog.teamServer() != settings->teamServer;
    settings->teamServer = dialog.teamServer();
    const QString chosen = dialog.currentGauge();
    const bool rebound = !chosen.isEmpty() && chosen != bound;
    if (rebound) {
        // The old gauge is closed and forgotten; the window is disconnected until Connect.
        m_gauge->rebind(chosen);
        settings->devicePlugin = chosen;
    }
    // The gauge's port may have changed with its settings.
    m_gauge->testPortPresence();
    return rebound || teamChanged;
}
