#include "teamreaderworker.h"

#include <algorithm>
#include <iterator>

#include <QSqlDriver>

#include "teamschema.h"

TeamReaderWorker::TeamReaderWorker(const Settings &settings, const std::atomic<bool> *stopping)
    : m_settings(settings)
    , m_stopping(stopping)
    , m_server(QStringLiteral("team-reader-%1").arg(quintptr(this), 0, 16))
    , m_retry(this)
    , m_poll(this)
    , m_settle(this)
{
    m_retry.setSingleShot(true);
    m_settle.setSingleShot(true);
    m_settle.setInterval(20);
    m_poll.setInterval(settings.pollMs);
    for (QTimer *timer : {&m_retry, &m_poll, &m_settle})
        connect(timer, &QTimer::timeout, this, &TeamReaderWorker::list);
}

void TeamReaderWorker::list()
{
    if (*m_stopping)
        return;
    if (!m_server.isOpen() && !connectServer())
        return;
    QList<TeamItem> items;
    QString error;
    if (!m_server.teamItems(m_own, &items, &error)) {
        lost(error, m_server.lastFailure());
        return;
    }
    if (m_failures > 0)
        emit statusChanged(TeamReaderStatus());
    m_failures = 0;
    emit listed(items);
}

void TeamReaderWorker::fetch(const QString &item, int first)
{
    TeamReadings part;
    part.item = item;
    part.first = first;
    QString error;
    const auto take = [this, &part](std::vector<WorkspaceConnection::Reading> *rows) {
        part.rows.swap(*rows);
        part.last = int(part.rows.size()) < PartSize;
        emit fetched(part);
        part.first += int(part.rows.size());
        part.trail.clear();
        return !part.last && !*m_stopping;
    };
    // The trail first: an exclusion made after it was read changes the counter of the
    // exclusions again, and the item is brought up to date once more.
    if (!*m_stopping && (m_server.isOpen() || connectServer())) {
        if ((first == 0 && !m_server.trail(item, &part.trail, &error)) ||
            !m_server.readings(item, first, PartSize, take, &error))
            lost(error, m_server.lastFailure());
        else if (part.last)
            return;
    }
    part.rows.clear();
    part.last = true;
    part.ok = false;
    emit fetched(part);
}

void TeamReaderWorker::fetchExclusions(const QString &item)
{
    TeamExclusions exclusions;
    exclusions.item = item;
    QString error;
    if (!*m_stopping && (m_server.isOpen() || connectServer())) {
        exclusions.ok = m_server.trail(item, &exclusions.trail, &error) &&
                        m_server.exclusions(item, &exclusions.reasons, &error);
        if (!exclusions.ok)
            lost(error, m_server.lastFailure());
    }
    emit exclusionsFetched(exclusions);
}

bool TeamReaderWorker::readAll(const QString &item, int first,
                               std::vector<WorkspaceConnection::Reading> *rows,
                               QVector<ExclusionEvent> *trail, QString *error)
{
    if (!m_server.isOpen()) {
        m_retry.stop();
        if (!connectServer()) {
            *error = m_error;
            return false;
        }
    }
    if (first == 0 && !m_server.trail(item, trail, error)) {
        lost(*error, m_server.lastFailure());
        return false;
    }
    const auto take = [rows](std::vector<WorkspaceConnection::Reading> *part) {
        rows->insert(rows->end(), std::make_move_iterator(part->begin()),
                     std::make_move_iterator(part->end()));
        return true;
    };
    if (!m_server.readings(item, first, PartSize, take, error)) {
        lost(*error, m_server.lastFailure());
        return false;
    }
    return true;
}

void TeamReaderWorker::finish()
{
    for (QTimer *timer : {&m_retry, &m_poll, &m_settle})
        timer->stop();
    m_server.close();
}

bool TeamReaderWorker::connectServer()
{
    if (m_retry.isActive())
        return false;
    // An address that could not be taken is refused for good: without keywords the client
    // library would try a server of its own choosing.
    if (m_settings.keywords.isEmpty()) {
        m_error = m_settings.error;
        TeamReaderStatus status;
        status.state = TeamReaderStatus::Refused;
        status.detail = m_error;
        emit statusChanged(status);
        return false;
    }
    QString error;
    if (m_settings.path.isEmpty()) {
        m_own.clear();
    } else {
        WorkspaceReader reader(QStringLiteral("team-reader-own-%1").arg(quintptr(this), 0, 16));
        WorkspaceReader::Snapshot own;
        if (reader.open(m_settings.path, &error) && reader.snapshot(&own, &error))
            m_own = own.uuid;
    }
    const TeamServer::Outcome opened = m_server.open(m_settings.keywords, &error);
    if (opened != TeamServer::Outcome::Ready) {
        lost(error, opened);
        return false;
    }
    QSqlDriver *driver = m_server.driver();
    connect(driver,
            QOverload<const QString &, QSqlDriver::NotificationSource, const QVariant &>::of(
                &QSqlDriver::notification),
            &m_settle, [this] {
                if (!m_settle.isActive())
                    m_settle.start();
            });
    driver->subscribeToNotification(QLatin1String(TeamSchema::Channel));
    m_poll.start();
    return true;
}

void TeamReaderWorker::lost(const QString &error, TeamServer::Outcome outcome)
{
    m_server.close();
    m_poll.stop();
    TeamReaderStatus status;
    status.detail = error;
    if (outcome == TeamServer::Outcome::Newer) {
        m_error = TeamReaderStatus::newer(error);
        status.state = TeamReaderStatus::Stopped;
        emit statusChanged(status);
        return;
    }
    m_error = error;
    const qint64 delay = std::min<qint64>(
        qint64(m_settings.firstRetryMs) << std::min(m_failures, 20), m_settings.maxRetryMs);
    ++m_failures;
    m_retry.start(int(delay));
    status.state = outcome == TeamServer::Outcome::Refused ? TeamReaderStatus::Refused
                                                           : TeamReaderStatus::Waiting;
    status.retrySeconds = int((delay + 999) / 1000);
    emit statusChanged(status);
}
