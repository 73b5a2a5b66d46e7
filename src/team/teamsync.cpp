#include "teamsync.h"

#include "teamaddress.h"
#include "teamsyncworker.h"

TeamSync::TeamSync(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<TeamSyncStatus>();
}

TeamSync::~TeamSync()
{
    stop();
}

void TeamSync::start(const QString &path, const QString &address)
{
    stop();
    TeamSyncWorker::Settings settings;
    settings.path = path;
    settings.keywords = TeamAddress::toKeywords(address, &settings.error);
    settings.firstRetryMs = m_firstRetryMs;
    settings.maxRetryMs = m_maxRetryMs;
    m_stopping = false;
    m_worker = new TeamSyncWorker(settings, &m_stopping);
    m_worker->moveToThread(&m_thread);
    connect(m_worker, &TeamSyncWorker::statusChanged, this, &TeamSync::statusChanged);
    m_thread.start();
    QMetaObject::invokeMethod(m_worker, &TeamSyncWorker::wake);
}

void TeamSync::stop()
{
    if (!m_worker)
        return;
    // A batch on its way ends first; nothing is left half sent that a restart could not finish.
    m_stopping = true;
    QMetaObject::invokeMethod(m_worker, &TeamSyncWorker::finish, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
    m_worker = nullptr;
}

void TeamSync::setRetryDelays(int firstMs, int maxMs)
{
    m_firstRetryMs = firstMs;
    m_maxRetryMs = maxMs;
}

void TeamSync::wake()
{
    if (m_worker)
        QMetaObject::invokeMethod(m_worker, &TeamSyncWorker::wake);
}
