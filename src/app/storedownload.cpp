#include "storedownload.h"

#include <QLocale>

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
    connect(this, &StoreDownload::progress, this, [this](int total) { m_total = total; });
}

QString StoreDownload::shortText(int received, int total, bool byUser)
{
    const QLocale locale;
    if (total < 0 && received == 1)
        return byUser ? tr("Download cancelled: 1 reading received.")
                      : tr("Download interrupted: 1 reading received.");
    if (total < 0)
        return (byUser ? tr("Download cancelled: %1 readings received.")
                       : tr("Download interrupted: %1 readings received."))
            .arg(locale.toString(received));
    return (byUser ? tr("Download cancelled: %1 of %2 readings received.")
                   : tr("Download interrupted: %1 of %2 readings received."))
        .arg(locale.toString(received), locale.toString(total));
}

void StoreDownload::run()
{
    if (!m_gauge->isOpen())
        return;
    ItemData *store = m_items->storeData();
    // What Store Data holds stays until the new readings are all in.
    m_items->setAside(store);
    m_items->activate(store);
    m_total = -1;
    m_takesReadings = true;
    m_gauge->requestStoredData();

    auto *dialog = new DlgDownload(m_window);
    dialog->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(this, &StoreDownload::progress, dialog, &DlgDownload::updatePos);
    connect(m_gauge, &GaugeSession::closed, dialog, [dialog] { dialog->stop(false); });
    bool stoppedShort = false;
    connect(dialog, &DlgDownload::stopped, this, [&, dialog](bool byUser) {
        stoppedShort = true;
        const QString text = shortText(store->readings().size(), m_total, byUser);
        emit message(text);
        dialog->offerChoice(text, m_items->asideCount(store) > 0);
    });
    const int result = dialog->exec();

    if (result == DlgDownload::RestoreEarlier) {
        m_takesReadings = false;
        // Many earlier readings come back in the background.
        const int count = m_items->asideCount(store);
        m_items->restoreAside(store);
        m_panels.status->showMessage(
            count == 1 ? tr("Store Data holds its earlier reading again.")
                       : tr("Store Data holds its %1 earlier readings again.").arg(count));
    } else {
        m_items->dropAside(store);
        if (!stoppedShort) {
            const int count = store->readings().size();
            m_panels.status->showMessage(
                count == 1 ? tr("Download finished: 1 reading in Store Data.")
                           : tr("Download finished: %1 readings in Store Data.").arg(count));
        }
    }
    if (m_items->active() == store)
        m_panels.live->showItem(store);
}
