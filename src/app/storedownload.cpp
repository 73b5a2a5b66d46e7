#include "storedownload.h"

#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

#include "dlgdownload.h"
#include "dmmdata.h"
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
    connect(this, &StoreDownload::progress, this, &StoreDownload::noteProgress);
}

StoreDownload::~StoreDownload()
{
    qDeleteAll(m_received);
}

QString StoreDownload::interruptedText(int received, int announced)
{
    const QLocale locale;
    if (announced > received)
        return tr("Download interrupted: %1 of %2 readings received.")
            .arg(locale.toString(received), locale.toString(announced));
    if (received == 0)
        return tr("Download interrupted: no readings received.");
    return received == 1
               ? tr("Download interrupted: 1 reading received.")
               : tr("Download interrupted: %1 readings received.").arg(locale.toString(received));
}

void StoreDownload::run()
{
    if (!m_gauge->isOpen() || m_running)
        return;
    ItemData *store = m_items->storeData();
    m_items->activate(store);
    m_running = true;
    m_total = 0;
    m_complete = false;
    m_gauge->requestStoredData();

    auto *dialog = new DlgDownload(m_window);
    dialog->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(this, &StoreDownload::progress, dialog, &DlgDownload::updatePos);
    // A gauge that closes mid-transfer sends nothing more: no need to wait for the watchdog.
    connect(m_gauge, &GaugeSession::closed, dialog, &QDialog::reject);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    m_running = false;

    if (accepted && m_complete && m_received.size() >= m_total) {
        const QList<DmmData *> received = m_received;
        m_received.clear();
        m_items->clear(store);
        m_items->append(store, received, QStringLiteral("\u03BCm"));
        const int count = received.size();
        m_panels.status->showMessage(
            count == 1 ? tr("Download finished: 1 reading in Store Data.")
                       : tr("Download finished: %1 readings in Store Data.").arg(count));
    } else {
        settleInterrupted();
    }
    if (m_items->active() == store)
        m_panels.live->showItem(store);
}

void StoreDownload::settleInterrupted()
{
    ItemData *store = m_items->storeData();
    const int received = m_received.size();
    const int earlier = store->readings().size();
    const QString text = interruptedText(received, m_total);
    emit message(text);
    bool keepReceived = received > 0 && earlier == 0;
    if (received > 0 && earlier > 0) {
        QMessageBox box(QMessageBox::Warning, QString(),
                        text + QLatin1Char('\n') +
                            tr("Store Data still holds the %1 readings of before.")
                                .arg(QLocale().toString(earlier)),
                        QMessageBox::NoButton, m_window);
        QPushButton *keep =
            box.addButton(tr("Keep the readings received"), QMessageBox::AcceptRole);
        box.setDefaultButton(
            box.addButton(tr("Keep the earlier readings"), QMessageBox::RejectRole));
        box.exec();
        keepReceived = box.clickedButton() == keep;
    }
    const QList<DmmData *> kept = m_received;
    m_received.clear();
    if (!keepReceived) {
        qDeleteAll(kept);
        return;
    }
    m_items->clear(store);
    m_items->append(store, kept, QStringLiteral("\u03BCm"));
}

void StoreDownload::receive(DmmData *reading)
{
    m_received.append(reading);
}

void StoreDownload::noteProgress(int total, int received)
{
    m_total = total;
    m_complete = received >= total;
}
