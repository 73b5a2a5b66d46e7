#include "storedownload.h"

#include "dlgdownload.h"
#include "gaugesession.h"
#include "itemstore.h"
#include "livepanel.h"
#include "statuspanel.h"

StoreDownload::StoreDownload(QWidget *window, GaugeSession *gauge, ItemStore *items,
                             const Panels &panels)
    : QObject(window)
    , m_window(window)
    , m_gauge(gauge)
    , m_items(items)
    , m_panels(panels)
{
}

void StoreDownload::run()
{
    if (!m_gauge->isOpen())
        return;
    ItemData *store = m_items->storeData();
    m_items->clear(store);
    m_items->activate(store);
    m_gauge->requestStoredData();

    auto *dialog = new DlgDownload(m_window);
    dialog->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(this, &StoreDownload::progress, dialog, &DlgDownload::updatePos);
    dialog->exec();
    const int count = store->readings().size();
    m_panels.status->showMessage(
        count == 1 ? tr("Download finished: 1 reading in Store Data.")
                   : tr("Download finished: %1 readings in Store Data.").arg(count));
    if (m_items->active() == store)
        m_panels.live->showItem(store);
}
