#include "teamreader.h"

#include <cmath>

#include <QDateTime>

#include "dmmdata.h"
#include "teamaddress.h"
#include "teamreaderworker.h"
#include "teamsync.h"

TeamReader::TeamReader(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<QList<TeamItem>>();
    qRegisterMetaType<TeamReadings>();
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
    QString error;
    settings.keywords = TeamAddress::toKeywords(address, &error);
    settings.firstRetryMs = TeamSync::FirstRetryMs;
    settings.maxRetryMs = TeamSync::MaxRetryMs;
    settings.pollMs = m_pollMs;
    m_stopping = false;
    m_worker = new TeamReaderWorker(settings, &m_stopping);
    m_worker->moveToThread(&m_thread);
    connect(m_worker, &TeamReaderWorker::listed, this, &TeamReader::listed);
    connect(m_worker, &TeamReaderWorker::fetched, this, &TeamReader::fetched);
    m_thread.start();
    QMetaObject::invokeMethod(m_worker, &TeamReaderWorker::list);
}

void TeamReader::stop()
{
    if (!m_worker)
        return;
    // A fetch on its way ends at its next part.
    m_stopping = true;
    QMetaObject::invokeMethod(m_worker, &TeamReaderWorker::finish, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
    m_worker = nullptr;
}

void TeamReader::fetch(const QString &item, int first)
{
    if (m_worker)
        QMetaObject::invokeMethod(m_worker,
                                  [worker = m_worker, item, first] { worker->fetch(item, first); });
}

QList<DmmData *> TeamReader::toReadings(const std::vector<WorkspaceReader::Reading> &rows)
{
    const auto number = [](const QVariant &value) {
        return value.isNull() ? std::nan("") : value.toDouble();
    };
    QList<DmmData *> readings;
    readings.reserve(int(rows.size()));
    for (const WorkspaceReader::Reading &row : rows) {
        auto *reading = new DmmData;
        if (!row.timeMs.isNull())
            reading->setTime(QDateTime::fromMSecsSinceEpoch(
                row.timeMs.toLongLong(), Qt::OffsetFromUTC, row.timeOffset.toInt()));
        reading->setUmValue(number(row.umValue));
        reading->setMilValue(number(row.milValue));
        reading->setUmText(row.umText);
        reading->setMilText(row.milText);
        reading->setOverload(row.overload);
        reading->setUnit(row.unit);
        reading->setBasis(row.basis);
        readings.append(reading);
    }
    return readings;
}
