#pragma once

#include <QDialog>
#include <QElapsedTimer>

namespace Ui {
class DlgDownload;
}

// The frameless progress dialog of a memory download. It closes itself when the transfer is
// complete, or when the gauge has sent no progress for five seconds.
class DlgDownload : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(DlgDownload)

public:
    explicit DlgDownload(QWidget *parent = nullptr);
    ~DlgDownload() override;

    // "12,345 of 100,000": the readings received and the total, grouped as the locale groups.
    static QString countText(int pos, int total);

public slots:
    void updatePos(int total, int pos);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    Ui::DlgDownload *ui;
    int timerId = 0;
    // Since the last time updatePos let the event loop run; invalid before the first progress.
    QElapsedTimer sinceEvents;
    // How long the next progress signals leave the event loop alone.
    qint64 eventGapMs = 0;
};
