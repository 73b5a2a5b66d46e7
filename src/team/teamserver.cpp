#include "teamserver.h"

#include <cmath>

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "jobdetails.h"
#include "teamschema.h"

namespace {

// A string literal as the server reads it with standard_conforming_strings on, which open()
// sets. The server's text cannot hold NUL.
void appendText(QString &sql, const QString &text)
{
    sql += QLatin1Char('\'');
    for (const QChar c : text) {
        if (c == QLatin1Char('\''))
            sql += QLatin1Char('\'');
        if (!c.isNull())
            sql += c;
    }
    sql += QLatin1Char('\'');
}

// Seventeen digits bring every double back as it was; NaN is NULL, as in the workspace.
void appendNumber(QString &sql, const QVariant &value)
{
    if (value.isNull()) {
        sql += QLatin1String("NULL");
        return;
    }
    const double v = value.toDouble();
    if (std::isnan(v))
        sql += QLatin1String("NULL");
    else if (std::isinf(v))
        sql += v > 0 ? QLatin1String("'Infinity'") : QLatin1String("'-Infinity'");
    else
        sql += QString::number(v, 'g', 17);
}

void appendInteger(QString &sql, const QVariant &value)
{
    sql += value.isNull() ? QStringLiteral("NULL") : QString::number(value.toLongLong());
}

} // namespace

TeamServer::TeamServer(const QString &name)
    : m_name(name)
{
}

TeamServer::~TeamServer()
{
    close();
}

TeamServer::Outcome TeamServer::open(const QString &keywords, QString *error)
{
    close();
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
    if (!m_db.isValid()) {
        *error = QStringLiteral("the PostgreSQL driver of Qt (QPSQL) is not installed");
        close();
        return Outcome::Failed;
    }
    m_db.setConnectOptions(keywords);
    if (!m_db.open()) {
        const QString text = m_db.lastError().databaseText();
        *error = TeamSchema::cause(m_db.lastError());
        // libpq tells a refusal only in its words: the server answered and said no.
        static const char *const refusals[] = {
            "authentication", "password",       "certificate",      "SSL",
            "pg_hba",         "does not exist", "permission denied"};
        Outcome outcome = Outcome::Unreachable;
        for (const char *refusal : refusals) {
            if (text.contains(QLatin1String(refusal), Qt::CaseInsensitive))
                outcome = Outcome::Refused;
        }
        close();
        return outcome;
    }
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SET standard_conforming_strings = on")) ||
        !query.exec(QStringLiteral("SELECT current_user")) || !query.next()) {
        failed(query.lastError(), error);
        close();
        return Outcome::Unreachable;
    }
    m_role = query.value(0).toString();
    query.finish();
    int stored = 0;
    const TeamSchema::Outcome prepared = TeamSchema::prepare(m_db, m_role, &stored, error);
    if (prepared == TeamSchema::Outcome::Ready)
        return Outcome::Ready;
    close();
    switch (prepared) {
    case TeamSchema::Outcome::Newer:
        *error = QString::number(stored);
        return Outcome::Newer;
    case TeamSchema::Outcome::Refused:
        return Outcome::Refused;
    default:
        return Outcome::Unreachable;
    }
}

bool TeamServer::isOpen() const
{
    return m_db.isOpen();
}

void TeamServer::close()
{
    if (!m_db.isValid())
        return;
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool TeamServer::failed(const QSqlError &error, QString *text)
{
    m_lastFailure = TeamSchema::isRefusal(error) ? Outcome::Refused : Outcome::Unreachable;
    *text = TeamSchema::cause(error);
    if (m_db.isOpen())
        m_db.rollback();
    return false;
}

bool TeamServer::exec(const QString &statement, QString *error)
{
    QSqlQuery query(m_db);
    return query.exec(statement) || failed(query.lastError(), error);
}

bool TeamServer::items(const QString &workspace, QHash<QString, Item> *items, QString *error)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT uuid::text, kind, name, unit, position, created_ms, created_offset, requirement,"
        " range_um, notes,"
        " (SELECT string_agg(name || ':' || length(bytes), '/' ORDER BY seq) FROM item_photo"
        "  WHERE item_photo.item = item.uuid),"
        " (SELECT MAX(seq) FROM reading WHERE reading.item = item.uuid)"
        " FROM item WHERE workspace = ? AND owner = current_user"));
    query.addBindValue(workspace);
    if (!query.exec())
        return failed(query.lastError(), error);
    while (query.next()) {
        Item item;
        item.kind = query.value(1).toInt();
        item.name = query.value(2).toString();
        item.unit = query.value(3).toString();
        item.position = query.value(4).toLongLong();
        item.createdMs = query.value(5).toLongLong();
        item.createdOffset = query.value(6).toInt();
        item.requirement = query.value(7).toString();
        item.rangeUm = query.value(8).toDouble();
        item.notes = query.value(9).toString();
        item.photos = query.value(10).toString();
        item.readings = query.value(11).isNull() ? 0 : query.value(11).toInt() + 1;
        items->insert(query.value(0).toString(), item);
    }
    return true;
}

bool TeamServer::putWorkspace(const WorkspaceReader::Snapshot &snapshot, QString *error)
{
    if (!m_db.transaction())
        return failed(m_db.lastError(), error);
    QSqlQuery query(m_db);
    query.prepare(
        QStringLiteral("INSERT INTO workspace (uuid, job, logo) VALUES (?, ?, ?) ON CONFLICT (uuid)"
                       " DO UPDATE SET job = EXCLUDED.job, logo = EXCLUDED.logo"));
    query.addBindValue(snapshot.uuid);
    query.addBindValue(
        snapshot.jobDetails.value(JobDetails::key(JobDetails::Project), QStringLiteral("")));
    query.addBindValue(snapshot.logo.isEmpty() ? QVariant(QVariant::ByteArray)
                                               : QVariant(snapshot.logo));
    if (!query.exec())
        return failed(query.lastError(), error);
    query.prepare(QStringLiteral("DELETE FROM workspace_detail WHERE workspace = ?"));
    query.addBindValue(snapshot.uuid);
    if (!query.exec())
        return failed(query.lastError(), error);
    query.prepare(
        QStringLiteral("INSERT INTO workspace_detail (workspace, key, value) VALUES (?, ?, ?)"));
    for (auto it = snapshot.jobDetails.cbegin(); it != snapshot.jobDetails.cend(); ++it) {
        query.bindValue(0, snapshot.uuid);
        query.bindValue(1, it.key());
        query.bindValue(2, it.value());
        if (!query.exec())
            return failed(query.lastError(), error);
    }
    return m_db.commit() || failed(m_db.lastError(), error);
}

bool TeamServer::putItem(const QString &workspace, const WorkspaceReader::Item &item,
                         const QList<WorkspaceReader::Photo> *photos, QString *error)
{
    if (!m_db.transaction())
        return failed(m_db.lastError(), error);
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral(
        "INSERT INTO item (uuid, workspace, kind, name, unit, position, created_ms,"
        " created_offset, requirement, range_um, notes) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
        " ON CONFLICT (uuid) DO UPDATE SET kind = EXCLUDED.kind, name = EXCLUDED.name,"
        " unit = EXCLUDED.unit, position = EXCLUDED.position, requirement ="
        " EXCLUDED.requirement, range_um = EXCLUDED.range_um, notes = EXCLUDED.notes"));
    const QVariantList values = {item.uuid,      workspace,          item.kind,
                                 item.name,      item.unit,          item.position,
                                 item.createdMs, item.createdOffset, item.requirement,
                                 item.rangeUm,   item.notes};
    for (const QVariant &value : values)
        query.addBindValue(value.type() == QVariant::String && value.toString().isNull()
                               ? QVariant(QStringLiteral(""))
                               : value);
    if (!query.exec())
        return failed(query.lastError(), error);
    if (photos) {
        query.prepare(QStringLiteral("DELETE FROM item_photo WHERE item = ?"));
        query.addBindValue(item.uuid);
        if (!query.exec())
            return failed(query.lastError(), error);
        query.prepare(
            QStringLiteral("INSERT INTO item_photo (item, seq, name, bytes) VALUES (?, ?, ?, ?)"));
        for (int seq = 0; seq < photos->size(); ++seq) {
            query.bindValue(0, item.uuid);
            query.bindValue(1, seq);
            query.bindValue(2, photos->at(seq).name);
            query.bindValue(3, photos->at(seq).bytes);
            if (!query.exec())
                return failed(query.lastError(), error);
        }
    }
    return m_db.commit() || failed(m_db.lastError(), error);
}

bool TeamServer::removeItem(const QString &uuid, QString *error)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("DELETE FROM item WHERE uuid = ?"));
    query.addBindValue(uuid);
    return query.exec() || failed(query.lastError(), error);
}

bool TeamServer::putReadings(const QString &item,
                             const std::vector<WorkspaceReader::Reading> &readings, QString *error)
{
    // One statement of many rows: the server parses and plans once for the whole batch.
    QString sql;
    sql.reserve(int(readings.size()) * 160 + 256);
    sql += QLatin1String("INSERT INTO reading (item, seq, time_ms, time_offset, um_value,"
                         " mil_value, um_text, mil_text, overload, unit, basis) VALUES ");
    QString itemLiteral;
    appendText(itemLiteral, item);
    bool first = true;
    for (const WorkspaceReader::Reading &r : readings) {
        sql += first ? QLatin1String("(") : QLatin1String(",(");
        first = false;
        sql += itemLiteral;
        sql += QLatin1Char(',');
        sql += QString::number(r.seq);
        sql += QLatin1Char(',');
        appendInteger(sql, r.timeMs);
        sql += QLatin1Char(',');
        appendInteger(sql, r.timeOffset);
        sql += QLatin1Char(',');
        appendNumber(sql, r.umValue);
        sql += QLatin1Char(',');
        appendNumber(sql, r.milValue);
        sql += QLatin1Char(',');
        appendText(sql, r.umText);
        sql += QLatin1Char(',');
        appendText(sql, r.milText);
        sql += QLatin1Char(',');
        sql += QString::number(r.overload);
        sql += QLatin1Char(',');
        appendText(sql, r.unit);
        sql += QLatin1Char(',');
        appendText(sql, r.basis);
        sql += QLatin1Char(')');
    }
    sql += QLatin1String(" ON CONFLICT DO NOTHING");
    QString notify = QStringLiteral("SELECT pg_notify('%1', current_user)")
                         .arg(QLatin1String(TeamSchema::Channel));
    if (!m_db.transaction())
        return failed(m_db.lastError(), error);
    if (!exec(sql, error) || !exec(notify, error))
        return false;
    return m_db.commit() || failed(m_db.lastError(), error);
}

QString TeamServer::photoSummary(const QList<QPair<QString, qint64>> &photos)
{
    QStringList parts;
    for (const auto &photo : photos)
        parts.append(QStringLiteral("%1:%2").arg(photo.first).arg(photo.second));
    return parts.join(QLatin1Char('/'));
}

TeamServer::Item TeamServer::fromWorkspace(const WorkspaceReader::Item &item)
{
    Item server;
    server.kind = item.kind;
    server.name = item.name;
    server.unit = item.unit;
    server.position = item.position;
    server.createdMs = item.createdMs;
    server.createdOffset = item.createdOffset;
    server.requirement = item.requirement;
    server.rangeUm = item.rangeUm;
    server.notes = item.notes;
    server.photos = photoSummary(item.photoSizes);
    server.readings = item.readings;
    return server;
}

bool TeamServer::sameItem(const Item &a, const Item &b)
{
    return a.kind == b.kind && a.name == b.name && a.unit == b.unit && a.position == b.position &&
           a.requirement == b.requirement && a.rangeUm == b.rangeUm && a.notes == b.notes &&
           a.photos == b.photos;
}
