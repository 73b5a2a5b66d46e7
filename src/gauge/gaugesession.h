#pragma once

#include <memory>

#include <QObject>
#include <QString>

#include "devicebinder.h"

class DmmData;
class QDir;

// The gauge the logger talks to: the device plug-ins found in Lib, the one bound, and the state of
// the conversation with it. Connect, disconnect, start, stop and download go through here; the
// gauge's readings, progress and messages come out as this object's signals, whichever plug-in
// sends them.
//
// Connect is offered when the gauge's port was present when last looked for: at binding, when the
// plug-in reports a change of ports, and when the gauge closes; not from when it opens. Live
// readings are collected only while the gauge is open.
class GaugeSession : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(GaugeSession)

public:
    enum class State { Closed, Open, Acquiring };

    explicit GaugeSession(QObject *parent = nullptr);
    ~GaugeSession() override;

    // Loads the plug-ins of dir and binds the chosen one (see DeviceBinder). False when the
    // plug-ins found do not offer every interface the logger needs.
    bool load(const QDir &dir, const QString &chosen);
    // Closes the gauge bound so far and binds plugin instead.
    void rebind(const QString &plugin);
    const DeviceBinder &binder() const { return m_binder; }
    // The plug-in bound, when all its interfaces come from one.
    QString boundId() const { return m_boundId; }
    // The top of the bound gauge's measuring range in micrometres: what the plug-in says through
    // IGaugeRange, else IGaugeRange::DefaultRangeUm.
    double rangeUm() const;

    State state() const;
    bool isOpen() const;
    bool isAcquiring() const { return m_acquiring && isOpen(); }
    bool canConnect() const { return m_canConnect; }

    // False when the gauge refused to begin opening; opened() follows otherwise.
    bool open();
    void close();
    // Live readings are passed on only between start() and stop().
    void start();
    void stop();
    // False while the gauge is closed or has no memory to download.
    bool requestStoredData();
    // Asks the plug-in whether the gauge's port is there.
    void testPortPresence();

signals:
    void opened();
    void closed();
    // Anything that changes state(), canConnect() or isAcquiring().
    void stateChanged();
    void message(const QString &text);
    // A reading, owned by the receiver from then on: a live one only while acquiring, one from
    // the gauge's memory while downloading.
    void reading(const DmmData *reading);
    void storedReading(const DmmData *reading);
    void downloadProgress(int total, int received);

private slots:
    void onOpened();
    void onClosed();
    void onDisplay(const DmmData *reading);
    void onUsbRefreshed();

private:
    void bind(const QString &plugin);
    void disconnectPlugin();
    void setCanConnect(bool can);

    DeviceBinder m_binder;
    DeviceBinder::Binding m_binding;
    QString m_boundId;
    bool m_acquiring = false;
    bool m_canConnect = false;
};
