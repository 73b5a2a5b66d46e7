#include "teamreader.h"

#include "teamaddress.h"
#include "teamreaderworker.h"
#include "teamsync.h"

TeamReader::TeamReader(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<QList<TeamItem>>();
    qRegisterMetaType<TeamReadings>();
    qRegisterMetaType<TeamExclusions>();
    qRegisterMetaType<TeamReaderStatus>();
}

TeamReader::~TeamReader()
{
    stop();
}

void TeamReader::start(const QString &path, const QString &address)
{
    stop();
    TeamReaderWorker::Settings settings;
    settings.path = path;
    settings.keywords = TeamAddress::toKeywords(address, &settings.error);
    settings.firstRetryMs = TeamSync::FirstRetryMs;
    settings.maxRetryMs = TeamSync::MaxRetryMs;
    settings.pollMs = m_pollMs;
    TeamReaderWorker *worker = m_thread.start(settings);
    connect(worker, &TeamReaderWorker::listed, this, &TeamReader::listed);
    connect(worker, &TeamReaderWorker::fetched, this, &TeamReader::fetched);
    connect(worker, &TeamReaderWorker::exclusionsFetched, this, &TeamReader::exclusionsFetched);
    connect(worker, &TeamReaderWorker::statusChanged, this, &TeamReader::statusChanged);
    QMetaObject::invokeMethod(worker, &TeamReaderWorker::list);
}

void TeamReader::stop()
{
    // A fetch on its way ends at its next part.
    m_thread.stop();
}

void TeamReader::fetch(const QString &item, int first)
{
    if (TeamReaderWorker *worker = m_thread.worker())
        QMetaObject::invokeMethod(worker, [worker, item, first] { worker->fetch(item, first); });
}

void TeamReader::fetchExclusions(const QString &item)
{
    if (TeamReaderWorker *worker = m_thread.worker())
        QMetaObject::invokeMethod(worker, [worker, item] { worker->fetchExclusions(item); });
}

bool TeamReader::readNow(const QString &item, int first,
                         std::vector<WorkspaceConnection::Reading> *rows,
                         QVector<ExclusionEvent> *trail, QString *error)
{
    TeamReaderWorker *worker = m_thread.worker();
    if (!worker) {
        *error = tr("no team server is set");
        return false;
    }
    bool read = false;
    QMetaObject::invokeMethod(
        worker, [&] { read = worker->readAll(item, first, rows, trail, error); },
        Qt::BlockingQueuedConnection);
    return read;
}
