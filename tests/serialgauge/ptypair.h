#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair standing in for a gauge on a serial line: the plug-in opens the slave
// side by its name like any port, the test writes the gauge's lines into the master side.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isOpen() const { return m_master >= 0; }
    QString slaveName() const { return m_slaveName; }
    int masterFd() const { return m_master; }

    // Writes all of data, running the event loop whenever the line is full so that a reader in
    // this thread can empty it.
    bool send(const QByteArray &data);
    // What the other side has written, collected for up to timeoutMs.
    QByteArray receive(int bytes, int timeoutMs);
    // The cable is pulled.
    void closeMaster();

private:
    int m_master = -1;
    QString m_slaveName;
};
