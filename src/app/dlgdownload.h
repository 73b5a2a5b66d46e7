#pragma once

#include <QDialog>
#include <QElapsedTimer>

class QDialogButtonBox;

namespace Ui {
class DlgDownload;
}

// The frameless progress dialog of a memory download. It closes itself when the transfer is
// complete. A transfer that stops short (no progress for five seconds, Escape, or stop()) does not
// close it: stopped() asks the receiver to say so with offerChoice(), and the user's answer ends
// the dialog.
class DlgDownload : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(DlgDownload)

public:
    // exec()'s result after offerChoice(): Accepted keeps the readings received.
    enum Result { RestoreEarlier = 2 };

    explicit DlgDownload(QWidget *parent = nullptr);
    ~DlgDownload() override;

    // "12,345 of 100,000": the readings received and the total, grouped as the locale groups.
    static QString countText(int pos, int total);

    // The transfer ends short now, unless it is complete or already stopped.
    void stop(bool byUser);
    // Shows why the transfer stopped and asks what to keep: the readings received, or with
    // canRestore the readings held before. Escape then restores them too, as a cancel would.
    void offerChoice(const QString &text, bool canRestore);

public slots:
    void updatePos(int total, int pos);
    void reject() override;

signals:
    // byUser: the user cancelled; otherwise the gauge went silent or was lost.
    void stopped(bool byUser);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    enum class State { Transferring, Complete, Stopped, Choosing };

    Ui::DlgDownload *ui;
    int timerId = 0;
    State state = State::Transferring;
    bool restoreOffered = false;
    QDialogButtonBox *choice;
    // Since the last time updatePos let the event loop run; invalid before the first progress.
    QElapsedTimer sinceEvents;
    // How long the next progress signals leave the event loop alone.
    qint64 eventGapMs = 0;
};
