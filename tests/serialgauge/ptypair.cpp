#include "ptypair.h"

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

PtyPair::PtyPair()
{
    int slave = -1;
    char name[256] = {};
    if (openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
        m_master = -1;
        return;
    }
    // Only the name is needed: the plug-in opens the slave side itself.
    ::close(slave);
    m_slaveName = QString::fromLocal8Bit(name);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    closeMaster();
}

bool PtyPair::send(const QByteArray &data)
{
    qint64 written = 0;
    while (m_master >= 0 && written < data.size()) {
        const ssize_t n = ::write(m_master, data.constData() + written, data.size() - written);
        if (n > 0) {
            written += n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::usleep(200);
        }
    }
    return written == data.size();
}

QByteArray PtyPair::receive(int bytes, int timeoutMs)
{
    QByteArray data;
    QElapsedTimer timer;
    timer.start();
    while (m_master >= 0 && data.size() < bytes && timer.elapsed() < timeoutMs) {
        char buffer[256];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0)
            data.append(buffer, int(n));
        else
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return data;
}

void PtyPair::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
