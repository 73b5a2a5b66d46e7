#include "dlgdownload.h"
#include "ui_dlgdownload.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLocale>
#include <QPushButton>
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
    choice = new QDialogButtonBox(this);
    choice->setObjectName(QStringLiteral("choice"));
    choice->hide();
    ui->gridLayout->addWidget(choice, 3, 0, 1, 2);
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

void DlgDownload::stop(bool byUser)
{
    if (state != State::Transferring)
        return;
    state = State::Stopped;
    if (timerId != 0)
        killTimer(timerId);
    timerId = 0;
    emit stopped(byUser);
}

void DlgDownload::offerChoice(const QString &text, bool canRestore)
{
    state = State::Choosing;
    restoreOffered = canRestore;
    ui->label->setText(text);
    choice->clear();
    if (canRestore) {
        QPushButton *keep =
            choice->addButton(tr("Keep the readings received"), QDialogButtonBox::AcceptRole);
        keep->setDefault(true);
        connect(choice->addButton(tr("Restore the earlier readings"),
                                  QDialogButtonBox::DestructiveRole),
                &QPushButton::clicked, this, [this] { done(RestoreEarlier); });
    } else {
        choice->addButton(QDialogButtonBox::Close)->setDefault(true);
        connect(choice, &QDialogButtonBox::rejected, this, &QDialog::accept);
    }
    connect(choice, &QDialogButtonBox::accepted, this, &QDialog::accept);
    choice->show();
    resize(qMax(width(), sizeHint().width()), sizeHint().height());
}

void DlgDownload::reject()
{
    switch (state) {
    case State::Transferring:
        stop(true);
        break;
    case State::Choosing:
        done(restoreOffered ? int(RestoreEarlier) : int(Accepted));
        break;
    case State::Complete:
    case State::Stopped:
        break;
    }
}

void DlgDownload::updatePos(int total, int pos)
{
    if (state != State::Transferring)
        return;
    ui->progressBar->setMinimum(0);
    ui->progressBar->setMaximum(total);
    ui->progressBar->setValue(pos);
    ui->lblCount->setText(countText(pos, total));

    if (timerId != 0)
        killTimer(timerId);
    timerId = startTimer(WatchdogMs, Qt::CoarseTimer);

    const bool complete = pos >= total;
    if (complete) {
        state = State::Complete;
        killTimer(timerId);
        timerId = 0;
        QTimer::singleShot(0, this, &QDialog::accept);
    }

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
    stop(false);
}
