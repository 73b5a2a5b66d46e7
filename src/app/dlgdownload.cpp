#include "dlgdownload.h"
#include "ui_dlgdownload.h"

#include <algorithm>

#include <QCoreApplication>
#include <QLocale>
#include <QTimer>

namespace {
constexpr int WatchdogMs = 5000;
// Lets the window repaint during a transfer at most this often: ten steps a second keep the bar
// moving smoothly, and redrawing a large chart behind the dialog costs little beside receiving.
constexpr qint64 EventIntervalMs = 100;
// However slow repainting gets (a chart of a million points), it takes no more than a quarter of
// the transfer time.
constexpr qint64 EventCostShare = 4;
} // namespace

DlgDownload::DlgDownload(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::DlgDownload)
{
    ui->setupUi(this);
}

DlgDownload::~DlgDownload()
{
    delete ui;
}

QString DlgDownload::countText(int pos, int total)
{
    const QLocale locale;
    return tr("%1 of %2").arg(locale.toString(pos), locale.toString(total));
}

void DlgDownload::updatePos(int total, int pos)
{
    ui->progressBar->setMinimum(0);
    ui->progressBar->setMaximum(total);
    ui->progressBar->setValue(pos);
    ui->lblCount->setText(countText(pos, total));

    if (timerId != 0)
        killTimer(timerId);
    timerId = startTimer(WatchdogMs, Qt::CoarseTimer);

    const bool complete = pos >= total;
    if (complete)
        QTimer::singleShot(0, this, &QDialog::accept);

    // The gauge may send its progress in a tight loop; let the bar and the window repaint now and
    // then, and always once the last reading is in.
    if (!complete && sinceEvents.isValid() && sinceEvents.elapsed() < eventGapMs)
        return;
    // Restarted first: a progress signal handled inside processEvents returns at once.
    sinceEvents.start();
    QCoreApplication::processEvents();
    eventGapMs = std::max(EventIntervalMs, EventCostShare * sinceEvents.elapsed());
}

void DlgDownload::timerEvent(QTimerEvent *)
{
    QTimer::singleShot(0, this, &QDialog::accept);
}
