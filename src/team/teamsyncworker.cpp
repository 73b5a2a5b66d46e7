#include "teamsyncworker.h"

#include <algorithm>

#include <QDateTime>
#include <QSet>

TeamSyncWorker::TeamSyncWorker(const Settings &settings, const std::atomic<bool> *stopping)
    : m_settings(settings)
    , m_stopping(stopping)
    , m_reader(QStringLiteral("team-workspace-%1").arg(quintptr(this), 0, 16))
    , m_server(QStringLiteral("team-server-%1").arg(quintptr(this), 0, 16))
    , m_timer(this)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TeamSyncWorker::cycle);
}

void TeamSyncWorker::wake()
{
    // While a retry is due, changes wait for it: a server that is down is not asked again at
    // every commit.
    if (m_stopped || m_failures > 0 || m_timer.isActive())
        return;
    m_timer.start(0);
}

void TeamSyncWorker::finish()
{
    m_timer.stop();
    m_server.close();
    m_reader.close();
}

void TeamSyncWorker::cycle()
{
    if (m_stopped || *m_stopping)
        return;
    if (m_settings.keywords.isEmpty()) {
        m_stopped = true;
        TeamSyncStatus status;
        status.state = TeamSyncStatus::Refused;
        status.detail = m_settings.error;
        emit statusChanged(status);
        return;
    }
    if (!m_server.isOpen() && !connectServer())
        return;
    QString error;
    if (!sync(&error)) {
        if (*m_stopping)
            return;
        m_server.close();
        m_known = false;
        retry(m_server.lastFailure() == TeamServer::Outcome::Refused ? TeamSyncStatus::Refused
                                                                     : TeamSyncStatus::Waiting,
              error);
        return;
    }
    if (*m_stopping)
        return;
    m_failures = 0;
    report(TeamSyncStatus::UpToDate);
}

bool TeamSyncWorker::connectServer()
{
    if (m_waiting < 0)
        report(TeamSyncStatus::Connecting);
    QString error;
    const TeamServer::Outcome outcome = m_server.open(m_settings.keywords, &error);
    switch (outcome) {
    case TeamServer::Outcome::Ready:
        m_known = false;
        m_sentWorkspace = WorkspaceReader::Snapshot();
        return true;
    case TeamServer::Outcome::Newer: {
        m_stopped = true;
        TeamSyncStatus status;
        status.state = TeamSyncStatus::Stopped;
        status.detail = error;
        emit statusChanged(status);
        return false;
    }
    case TeamServer::Outcome::Refused:
        retry(TeamSyncStatus::Refused, error);
        return false;
    case TeamServer::Outcome::Unreachable:
    case TeamServer::Outcome::Failed:
        retry(TeamSyncStatus::Waiting, error);
        return false;
    }
    return false;
}

bool TeamSyncWorker::sync(QString *error)
{
    if (!m_reader.isOpen() && !m_reader.open(m_settings.path, error))
        return false;
    WorkspaceReader::Snapshot local;
    if (!m_reader.snapshot(&local, error)) {
        m_reader.close();
        return false;
    }
    if (!m_known) {
        m_items.clear();
        if (!m_server.items(local.uuid, &m_items, error))
            return false;
        m_known = true;
    }
    if (local.uuid != m_sentWorkspace.uuid || local.jobDetails != m_sentWorkspace.jobDetails ||
        local.logo != m_sentWorkspace.logo) {
        if (!m_server.putWorkspace(local, error))
            return false;
        m_sentWorkspace = local;
    }

    // Rows set aside while a download runs are the workspace's own business.
    QList<WorkspaceReader::Item> items;
    QSet<QString> present;
    for (const WorkspaceReader::Item &item : qAsConst(local.items)) {
        if (item.kind >= 0 && !item.uuid.isEmpty()) {
            items.append(item);
            present.insert(item.uuid);
        }
    }
    const QStringList known = m_items.keys();
    for (const QString &uuid : known) {
        if (present.contains(uuid))
            continue;
        if (!m_server.removeItem(uuid, error))
            return false;
        m_items.remove(uuid);
    }
    m_waiting = 0;
    for (const WorkspaceReader::Item &item : qAsConst(items)) {
        ItemRow wanted = item;
        const auto found = m_items.find(item.uuid);
        if (found == m_items.end() || !TeamServer::sameItem(*found, wanted)) {
            QList<WorkspaceReader::Photo> photos;
            const bool newPhotos = found == m_items.end() || found->photos != wanted.photos;
            if (newPhotos && !m_reader.photos(item.id, &photos, error))
                return false;
            if (!m_server.putItem(local.uuid, item, newPhotos ? &photos : nullptr, error))
                return false;
            wanted.readings = found == m_items.end() ? 0 : found->readings;
            wanted.exclusionEvents = found == m_items.end() ? 0 : found->exclusionEvents;
            m_items.insert(item.uuid, wanted);
        }
        m_waiting += std::max(0, item.readings - m_items.value(item.uuid).readings);
    }
    if (m_waiting > 0)
        report(TeamSyncStatus::Sending);
    for (const WorkspaceReader::Item &item : qAsConst(items)) {
        if (!sendReadings(item, error) || !sendExclusions(item, error))
            return false;
    }
    return true;
}

bool TeamSyncWorker::sendReadings(const WorkspaceReader::Item &item, QString *error)
{
    ItemRow &known = m_items[item.uuid];
    std::vector<WorkspaceReader::Reading> batch;
    while (known.readings < item.readings) {
        if (*m_stopping)
            return false;
        batch.clear();
        const int count = std::min(BatchSize, item.readings - known.readings);
        if (!m_reader.readings(item.id, known.readings, count, &batch, error))
            return false;
        if (batch.empty())
            return true;
        if (!m_server.putReadings(item.uuid, batch, error))
            return false;
        known.readings = batch.back().seq + 1;
        m_waiting -= qint64(batch.size());
        report(TeamSyncStatus::Sending, false);
    }
    return true;
}

bool TeamSyncWorker::sendExclusions(const WorkspaceReader::Item &item, QString *error)
{
    ItemRow &known = m_items[item.uuid];
    if (known.exclusionEvents == item.exclusionEvents)
        return true;
    const int first = std::min(known.exclusionEvents, item.exclusionEvents);
    QVector<ExclusionEvent> events;
    if (!m_reader.exclusionTrail(item.id, first, &events, error) ||
        !m_server.putExclusions(item.uuid, first, events, error))
        return false;
    known.exclusionEvents = first + events.size();
    return true;
}

void TeamSyncWorker::retry(TeamSyncStatus::State state, const QString &detail)
{
    const qint64 delay = std::min<qint64>(
        qint64(m_settings.firstRetryMs) << std::min(m_failures, 20), m_settings.maxRetryMs);
    ++m_failures;
    TeamSyncStatus status;
    status.state = state;
    status.waiting = m_waiting;
    status.retrySeconds = int((delay + 999) / 1000);
    status.detail = detail;
    emit statusChanged(status);
    m_timer.start(int(delay));
}

void TeamSyncWorker::report(TeamSyncStatus::State state, bool force)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!force && now - m_lastReportMs < ReportMs)
        return;
    m_lastReportMs = now;
    TeamSyncStatus status;
    status.state = state;
    status.waiting = m_waiting;
    emit statusChanged(status);
}
