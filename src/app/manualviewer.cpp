#include "manualviewer.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>
#include <QWidget>

ManualViewer::ManualViewer(QWidget *window)
    : QObject(window)
    , m_window(window)
{
}

QString ManualViewer::fileName()
{
    return QStringLiteral("Software User Manual.pdf");
}

QString ManualViewer::locate(const QString &currentDir, const QString &appDir)
{
    const QStringList folders{currentDir, appDir,
                              appDir + QStringLiteral("/" RQ_MANUAL_FROM_PROGRAM)};
    for (const QString &folder : folders) {
        const QFileInfo manual(QDir(folder), fileName());
        if (manual.isFile())
            return QDir::cleanPath(manual.absoluteFilePath());
    }
    return QString();
}

void ManualViewer::open()
{
    const QString path = locate(QDir::currentPath(), QCoreApplication::applicationDirPath());
    if (path.isEmpty()) {
        QMessageBox::information(
            m_window, QString(),
            tr("The manual %1 was not found.")
                .arg(QDir::toNativeSeparators(QDir::current().absoluteFilePath(fileName()))),
            QMessageBox::Ok);
        return;
    }
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // QDesktopServices would start xdg-open and report success whether or not a viewer opens;
    // xdg-open's own exit code tells.
    auto *process = new QProcess(this);
    connect(process, &QProcess::errorOccurred, this,
            [this, process, path](QProcess::ProcessError error) {
                // Other errors end in finished() as well.
                if (error != QProcess::FailedToStart)
                    return;
                process->deleteLater();
                reportNoViewer(path);
            });
    connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [this, process, path](int exitCode, QProcess::ExitStatus status) {
                process->deleteLater();
                if (status != QProcess::NormalExit || exitCode != 0)
                    reportNoViewer(path);
            });
    process->start(QStringLiteral("xdg-open"), {path});
#else
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        reportNoViewer(path);
#endif
}

void ManualViewer::reportNoViewer(const QString &path)
{
    QMessageBox::information(m_window, QString(),
                             tr("No program to show PDF files was found.\nThe manual is %1.")
                                 .arg(QDir::toNativeSeparators(path)),
                             QMessageBox::Ok);
}
