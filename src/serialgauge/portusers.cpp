#include "portusers.h"

#ifdef Q_OS_LINUX
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#endif

QStringList PortUsers::others(const QString &device, qintptr ownHandle)
{
    QStringList programs;
#ifdef Q_OS_LINUX
    struct stat port = {};
    if (::stat(QFile::encodeName(device).constData(), &port) != 0 || !S_ISCHR(port.st_mode))
        return programs;
    const QString self = QString::number(QCoreApplication::applicationPid());
    const QString own = QString::number(ownHandle);
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (pid.isEmpty() || !pid.at(0).isDigit())
            continue;
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::System)) {
            if (pid == self && fd == own)
                continue;
            struct stat file = {};
            if (::stat(QFile::encodeName(fds.filePath(fd)).constData(), &file) != 0 ||
                !S_ISCHR(file.st_mode) || file.st_rdev != port.st_rdev)
                continue;
            QFile comm(proc.filePath(pid + QStringLiteral("/comm")));
            const QString name = comm.open(QIODevice::ReadOnly)
                                     ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                                     : QString();
            programs << QStringLiteral("%1 (process %2)").arg(name, pid);
            break;
        }
    }
#else
    Q_UNUSED(device)
    Q_UNUSED(ownHandle)
#endif
    return programs;
}
