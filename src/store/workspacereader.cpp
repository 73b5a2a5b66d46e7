#include "workspacereader.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "workspaceconnection.h"
#include "workspaceschema.h"

namespace {

bool failed(const QSqlQuery &query, QString *error)
{
    *error = query.lastError().text();
    return false;
}

} // namespace

WorkspaceReader::WorkspaceReader(const QString &name)
    : m_name(name)
{
}

WorkspaceReader::~WorkspaceReader()
{
    close();
}

bool WorkspaceReader::open(const QString &path, QString *error)
{
    close();
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1")
                               .arg(WorkspaceConnection::BusyTimeoutMs));
    QSqlError sqlError;
    if (!m_db.open()) {
        sqlError = m_db.lastError();
    } else {
        const int version = WorkspaceSchema::storedVersion(m_db, &sqlError);
        if (version == WorkspaceSchema::Version)
            return true;
        if (version >= 0) {
            *error = QStringLiteral("workspace version %1, expected %2")
                         .arg(version)
                         .arg(WorkspaceSchema::Version);
            close();
            return false;
        }
    }
    *error = sqlError.text();
    close();
    return false;
}

bool WorkspaceReader::isOpen() const
{
    return m_db.isOpen();
}

void WorkspaceReader::close()
{
    if (!m_db.isValid())
        return;
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool WorkspaceReader::snapshot(Snapshot *snapshot, QString *error)
{
    // One read transaction: the items, their counts and notes all of the same commit.
    if (!m_db.transaction()) {
        *error = m_db.lastError().text();
        return false;
    }
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    const auto done = [this, &query, error](bool ok) {
        if (!ok)
            *error = query.lastError().text();
        query.finish();
        m_db.rollback();
        return ok;
    };
    if (!query.exec(QStringLiteral("SELECT uuid FROM workspace_identity")) || !query.next())
        return done(false);
    snapshot->uuid = query.value(0).toString();
    if (!query.exec(QStringLiteral("SELECT key, value FROM job_detail")))
        return done(false);
    while (query.next())
        snapshot->jobDetails.insert(query.value(0).toString(), query.value(1).toString());
    if (!query.exec(QStringLiteral("SELECT bytes FROM job_logo")))
        return done(false);
    if (query.next())
        snapshot->logo = query.value(0).toByteArray();
    if (!query.exec(QStringLiteral(
            "SELECT id, uuid, kind, name, unit, position, created_ms, created_offset, requirement,"
            " range_um, (SELECT body FROM item_note WHERE item_id = item.id),"
            " (SELECT MAX(seq) FROM reading WHERE item_id = item.id),"
            " (SELECT COUNT(*) FROM reading_exclusion WHERE item_id = item.id)"
            " FROM item ORDER BY position, id")))
        return done(false);
    QHash<qint64, int> byId;
    while (query.next()) {
        Item item;
        item.id = query.value(0).toLongLong();
        item.read(query, 1);
        byId.insert(item.id, snapshot->items.size());
        snapshot->items.append(item);
    }
    if (!query.exec(QStringLiteral(
            "SELECT item_id, name, LENGTH(bytes) FROM item_photo ORDER BY item_id, seq")))
        return done(false);
    while (query.next()) {
        const auto found = byId.constFind(query.value(0).toLongLong());
        if (found != byId.constEnd())
            snapshot->items[*found].addPhoto(query.value(1).toString(),
                                             query.value(2).toLongLong());
    }
    return done(true);
}

bool WorkspaceReader::photos(qint64 item, QList<Photo> *photos, QString *error)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT name, bytes FROM item_photo WHERE item_id = ? ORDER BY seq"));
    query.addBindValue(item);
    if (!query.exec())
        return failed(query, error);
    while (query.next())
        photos->append({query.value(0).toString(), query.value(1).toByteArray()});
    return true;
}

bool WorkspaceReader::readings(qint64 item, int first, int limit, std::vector<Reading> *readings,
                               QString *error)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT seq, time_ms, time_offset, um_value, mil_value, um_text, mil_text, overload,"
        " unit, basis, exclusion FROM reading WHERE item_id = ? AND seq >= ? ORDER BY seq"
        " LIMIT ?"));
    query.addBindValue(item);
    query.addBindValue(first);
    query.addBindValue(limit);
    if (!query.exec())
        return failed(query, error);
    while (query.next())
        readings->push_back(readingFrom(query));
    if (query.lastError().isValid())
        return failed(query, error);
    return true;
}

WorkspaceReader::Reading WorkspaceReader::readingFrom(const QSqlQuery &query)
{
    Reading r;
    r.seq = query.value(0).toInt();
    r.timeMs = query.value(1);
    r.timeOffset = query.value(2);
    r.umValue = query.value(3);
    r.milValue = query.value(4);
    r.umText = query.value(5).toString();
    r.milText = query.value(6).toString();
    r.overload = query.value(7).toInt();
    r.unit = query.value(8).toString();
    r.basis = query.value(9).toString();
    r.exclusion = query.value(10).toString();
    return r;
}

bool WorkspaceReader::exclusionTrail(qint64 item, int first, QVector<ExclusionEvent> *events,
                                     QString *error)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT seq, excluded, reason, who, time_ms, time_offset FROM reading_exclusion"
        " WHERE item_id = ? AND event >= ? ORDER BY event"));
    query.addBindValue(item);
    query.addBindValue(first);
    if (!query.exec())
        return failed(query, error);
    while (query.next())
        events->append(eventFrom(query));
    return !query.lastError().isValid() || failed(query, error);
}

ExclusionEvent WorkspaceReader::eventFrom(const QSqlQuery &query)
{
    ExclusionEvent event;
    event.reading = query.value(0).toInt();
    event.excluded = query.value(1).toBool();
    event.reason = query.value(2).toString();
    event.who = query.value(3).toString();
    event.when = QDateTime::fromMSecsSinceEpoch(query.value(4).toLongLong(), Qt::OffsetFromUTC,
                                                query.value(5).toInt());
    return event;
}
