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
    TeamSyncWorker *worker = m_thread.start(settings);
    connect(worker, &TeamSyncWorker::statusChanged, this, &TeamSync::statusChanged);
    QMetaObject::invokeMethod(worker, &TeamSyncWorker::wake);
}

void TeamSync::stop()
{
    // A batch on its way ends first; nothing is left half sent that a restart could not finish.
    m_thread.stop();
}

void TeamSync::setRetryDelays(int firstMs, int maxMs)
{
    m_firstRetryMs = firstMs;
    m_maxRetryMs = maxMs;
}

void TeamSync::wake()
{
    if (TeamSyncWorker *worker = m_thread.worker())
        QMetaObject::invokeMethod(worker, &TeamSyncWorker::wake);
}
