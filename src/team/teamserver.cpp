#include "teamserver.h"

#include <cmath>

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QUuid>
#include <QVariant>

#include "itemdata.h"
#include "jobdetails.h"
#include "storedreading.h"
#include "teamschema.h"

namespace {

// The readings travel as one array per column, read by unnest(): the server parses a few long
// literals much faster than thousands of rows of values.
class ArrayLiteral
{
public:
    explicit ArrayLiteral(int size) { m_text.reserve(size * 8 + 2); }

    void addNull() { next() += QLatin1String("NULL"); }
    void addInteger(const QVariant &value)
    {
        if (value.isNull())
            addNull();
        else
            next() += QString::number(value.toLongLong());
    }
    // Seventeen digits bring every double back as it was; NaN is NULL, as in the workspace.
    void addNumber(const QVariant &value)
    {
        const double v = value.isNull() ? std::nan("") : value.toDouble();
        if (std::isnan(v))
            addNull();
        else if (std::isinf(v))
            next() += v > 0 ? QLatin1String("Infinity") : QLatin1String("-Infinity");
        else
            next() += QString::number(v, 'g', 17);
    }
    // Quoted for the array; the server's text cannot hold NUL.
    void addText(const QString &text)
    {
        QString &out = next();
        out += QLatin1Char('"');
        for (const QChar c : text) {
            if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
                out += QLatin1Char('\\');
            if (!c.isNull())
                out += c;
        }
        out += QLatin1Char('"');
    }
    // As a string literal of SQL, with standard_conforming_strings on as open() sets it.
    QString sql(const char *type) const
    {
        QString literal = m_text + QLatin1Char('}');
        literal.replace(QLatin1Char('\''), QLatin1String("''"));
        return QStringLiteral("'%1'::%2[]").arg(literal, QLatin1String(type));
    }

private:
    QString &next()
    {
        m_text += m_text.isEmpty() ? QLatin1Char('{') : QLatin1Char(',');
        return m_text;
    }

    QString m_text;
};

// An item's columns as ItemRow::read() takes them, of the table item as the query names it.
const char ItemColumns[] =
    "item.uuid::text, item.kind, item.name, item.unit, item.position, item.created_ms,"
    " item.created_offset, item.requirement, item.range_um, item.notes,"
    " (SELECT MAX(seq) FROM reading WHERE reading.item = item.uuid),"
    " (SELECT COUNT(*) FROM reading_exclusion WHERE reading_exclusion.item = item.uuid)";

// libpq tells a certificate it cannot trust in OpenSSL's words; these say what to look at.
QString connectionCause(const QSqlError &error)
{
    const QString cause = TeamSchema::cause(error);
    if (cause.contains(QLatin1String("certificate verify failed")))
        return QCoreApplication::translate(
            "TeamServer", "the server's TLS certificate is not signed by the authority of the "
                          "root certificate (sslrootcert), or has expired");
    const int mismatch = cause.indexOf(QLatin1String("server certificate for"));
    if (mismatch >= 0)
        return QCoreApplication::translate("TeamServer",
                                           "the server's TLS certificate names another host: %1")
            .arg(cause.mid(mismatch));
    return cause;
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
        *error = connectionCause(m_db.lastError());
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

bool TeamServer::items(const QString &workspace, QHash<QString, ItemRow> *items, QString *error)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1, (SELECT string_agg(name || ':' || length(bytes), '/'"
                                 " ORDER BY seq) FROM item_photo WHERE item_photo.item = item.uuid)"
                                 " FROM item WHERE workspace = ? AND owner = current_user")
                      .arg(QLatin1String(ItemColumns)));
    query.addBindValue(workspace);
    if (!query.exec())
        return failed(query.lastError(), error);
    while (query.next()) {
        ItemRow item;
        item.read(query, 0);
        item.photos = query.value(ItemRow::Columns).toString();
        items->insert(item.uuid, item);
    }
    return true;
}

bool TeamServer::putWorkspace(const WorkspaceReader::Snapshot &snapshot, QString *error)
{
    if (!m_db.transaction())
        return failed(m_db.lastError(), error);
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral(
        "INSERT INTO workspace (uuid, job, logo, writer) VALUES (?, ?, ?, ?) ON CONFLICT (uuid)"
        " DO UPDATE SET job = EXCLUDED.job, logo = EXCLUDED.logo, writer = EXCLUDED.writer"
        " WHERE workspace.writer IS NULL OR workspace.writer = EXCLUDED.writer"));
    query.addBindValue(snapshot.uuid);
    query.addBindValue(
        snapshot.jobDetails.value(JobDetails::key(JobDetails::Project), QStringLiteral("")));
    query.addBindValue(snapshot.logo.isEmpty() ? QVariant(QVariant::ByteArray)
                                               : QVariant(snapshot.logo));
    query.addBindValue(thisComputer());
    if (!query.exec())
        return failed(query.lastError(), error);
    if (query.numRowsAffected() == 0) {
        m_db.rollback();
        m_lastFailure = Outcome::Refused;
        *error = QCoreApplication::translate(
            "TeamServer", "this workspace is synced from another computer; a copy of its file "
                          "is not synced, so that two loggers never write the same items");
        return false;
    }
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
    return notifyTeam(error) && (m_db.commit() || failed(m_db.lastError(), error));
}

bool TeamServer::putItem(const QString &workspace, const ItemRow &item,
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
    return notifyTeam(error) && (m_db.commit() || failed(m_db.lastError(), error));
}

bool TeamServer::removeItem(const QString &uuid, QString *error)
{
    if (!m_db.transaction())
        return failed(m_db.lastError(), error);
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("DELETE FROM item WHERE uuid = ?"));
    query.addBindValue(uuid);
    if (!query.exec())
        return failed(query.lastError(), error);
    return notifyTeam(error) && (m_db.commit() || failed(m_db.lastError(), error));
}

bool TeamServer::notifyTeam(QString *error)
{
    return exec(QStringLiteral("SELECT pg_notify('%1', current_user)")
                    .arg(QLatin1String(TeamSchema::Channel)),
                error);
}

bool TeamServer::putReadings(const QString &item,
                             const std::vector<WorkspaceReader::Reading> &readings, QString *error)
{
    const int n = int(readings.size());
    ArrayLiteral seq(n), timeMs(n), timeOffset(n), um(n), mil(n), umText(n), milText(n),
        overload(n), unit(n), basis(n), exclusion(n);
    for (const WorkspaceReader::Reading &r : readings) {
        seq.addInteger(r.seq);
        timeMs.addInteger(r.timeMs);
        timeOffset.addInteger(r.timeOffset);
        um.addNumber(r.umValue);
        mil.addNumber(r.milValue);
        umText.addText(r.umText);
        milText.addText(r.milText);
        overload.addInteger(r.overload);
        unit.addText(r.unit);
        basis.addText(r.basis);
        exclusion.addText(r.exclusion);
    }
    QString itemLiteral = item;
    itemLiteral.replace(QLatin1Char('\''), QLatin1String("''"));
    const QString sql =
        QStringLiteral("INSERT INTO reading (item, seq, time_ms, time_offset, um_value, mil_value,"
                       " um_text, mil_text, overload, unit, basis, exclusion) SELECT '%1', *"
                       " FROM unnest(")
            .arg(itemLiteral) +
        QStringList{seq.sql("integer"),  timeMs.sql("bigint"),    timeOffset.sql("integer"),
                    um.sql("float8"),    mil.sql("float8"),       umText.sql("text"),
                    milText.sql("text"), overload.sql("integer"), unit.sql("text"),
                    basis.sql("text"),   exclusion.sql("text")}
            .join(QLatin1Char(',')) +
        QStringLiteral(") ON CONFLICT DO NOTHING");
    if (!m_db.transaction())
        return failed(m_db.lastError(), error);
    if (!exec(sql, error) || !notifyTeam(error))
        return false;
    return m_db.commit() || failed(m_db.lastError(), error);
}

bool TeamServer::putExclusions(const QString &item, int first,
                               const QVector<ExclusionEvent> &events, QString *error)
{
    const int n = events.size();
    ArrayLiteral event(n), seq(n), excluded(n), reason(n), who(n), timeMs(n), timeOffset(n);
    for (int i = 0; i < n; ++i) {
        const ExclusionEvent &e = events.at(i);
        event.addInteger(first + i);
        seq.addInteger(e.reading);
        excluded.addInteger(e.excluded ? 1 : 0);
        reason.addText(e.reason);
        who.addText(e.who);
        timeMs.addInteger(e.when.toMSecsSinceEpoch());
        timeOffset.addInteger(e.when.offsetFromUtc());
    }
    QString itemLiteral = item;
    itemLiteral.replace(QLatin1Char('\''), QLatin1String("''"));
    if (!m_db.transaction())
        return failed(m_db.lastError(), error);
    // A trail that was cleared with its readings and begun anew replaces what the server held.
    if (!exec(QStringLiteral("DELETE FROM reading_exclusion WHERE item = '%1' AND event >= %2")
                  .arg(itemLiteral)
                  .arg(first),
              error))
        return false;
    if (n > 0) {
        const QString insert =
            QStringLiteral("INSERT INTO reading_exclusion (item, event, seq, excluded, reason, who,"
                           " time_ms, time_offset) SELECT '%1', * FROM unnest(")
                .arg(itemLiteral) +
            QStringList{event.sql("integer"),     seq.sql("integer"), excluded.sql("integer"),
                        reason.sql("text"),       who.sql("text"),    timeMs.sql("bigint"),
                        timeOffset.sql("integer")}
                .join(QLatin1Char(',')) +
            QStringLiteral(")");
        const QString update =
            QStringLiteral(
                "UPDATE reading SET exclusion = CASE WHEN x.excluded <> 0 THEN x.reason ELSE '' END"
                " FROM (SELECT DISTINCT ON (seq) seq, excluded, reason FROM reading_exclusion"
                " WHERE item = '%1' AND event >= %2 ORDER BY seq, event DESC) x"
                " WHERE reading.item = '%1' AND reading.seq = x.seq")
                .arg(itemLiteral)
                .arg(first);
        if (!exec(insert, error) || !exec(update, error))
            return false;
    }
    return notifyTeam(error) && (m_db.commit() || failed(m_db.lastError(), error));
}

bool TeamServer::teamItems(const QString &own, QList<TeamItem> *items, QString *error)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    // Row-level security leaves out what the role may not read. A gauge's memory that was never
    // downloaded is left out too: every logger has one.
    query.prepare(
        QStringLiteral(
            "SELECT %1, item.owner, workspace.job, item.reading_revision, item.exclusion_revision"
            " FROM item JOIN workspace ON workspace.uuid = item.workspace"
            " WHERE item.workspace IS DISTINCT FROM NULLIF(?, '')::uuid AND (item.kind <> %2 OR"
            " EXISTS (SELECT 1 FROM reading WHERE reading.item = item.uuid))"
            " ORDER BY item.owner, workspace.job, item.position, item.created_ms, item.uuid")
            .arg(QLatin1String(ItemColumns), QString::number(int(ItemData::StoreData))));
    query.addBindValue(own);
    if (!query.exec())
        return failed(query.lastError(), error);
    while (query.next()) {
        TeamItem item;
        item.read(query, 0);
        item.owner = query.value(ItemRow::Columns).toString();
        item.job = query.value(ItemRow::Columns + 1).toString();
        item.readingRevision = query.value(ItemRow::Columns + 2).toLongLong();
        item.exclusionRevision = query.value(ItemRow::Columns + 3).toLongLong();
        items->append(item);
    }
    return !query.lastError().isValid() || failed(query.lastError(), error);
}

bool TeamServer::eachRow(const QString &sql, const QVariantList &values,
                         const std::function<void(const QSqlQuery &)> &row, QString *error)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(sql);
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec())
        return failed(query.lastError(), error);
    while (query.next())
        row(query);
    return !query.lastError().isValid() || failed(query.lastError(), error);
}

bool TeamServer::readings(
    const QString &item, int first, int limit,
    const std::function<bool(std::vector<WorkspaceConnection::Reading> *)> &part, QString *error)
{
    // A cursor's query takes no parameters: the item goes into it only as the server writes a
    // uuid, hexadecimal digits and hyphens.
    const QString uuid = QUuid::fromString(item).toString(QUuid::WithoutBraces);
    if (uuid != item) {
        m_lastFailure = Outcome::Refused;
        *error = QStringLiteral("\"%1\" is not an item of the team server").arg(item);
        return false;
    }
    // One cursor for all the parts: a query of its own for each part made the server read and
    // sort every row after the part again while its statistics did not yet know a large item.
    if (!m_db.transaction())
        return failed(m_db.lastError(), error);
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("DECLARE readings NO SCROLL CURSOR FOR SELECT time_ms,"
                                   " time_offset, um_value, mil_value, um_text, mil_text, overload,"
                                   " unit, basis, exclusion FROM reading WHERE item = '%1'::uuid"
                                   " AND seq >= %2 ORDER BY seq")
                        .arg(uuid, QString::number(first))))
        return failed(query.lastError(), error);
    const QString fetch = QStringLiteral("FETCH FORWARD %1 FROM readings").arg(limit);
    std::vector<WorkspaceConnection::Reading> rows;
    for (;;) {
        if (!query.exec(fetch))
            return failed(query.lastError(), error);
        rows.clear();
        rows.reserve(size_t(limit));
        while (query.next())
            rows.push_back(StoredReading::fromQuery(query, 0));
        if (query.lastError().isValid())
            return failed(query.lastError(), error);
        const bool last = int(rows.size()) < limit;
        if (!part(&rows) || last)
            break;
    }
    query.finish();
    return m_db.commit() || failed(m_db.lastError(), error);
}

bool TeamServer::exclusions(const QString &item, QVector<QString> *reasons, QString *error)
{
    return eachRow(
        QStringLiteral("SELECT seq, exclusion FROM reading WHERE item = ?::uuid AND"
                       " exclusion <> '' ORDER BY seq"),
        {item},
        [reasons](const QSqlQuery &row) {
            const int seq = row.value(0).toInt();
            reasons->resize(seq + 1);
            (*reasons)[seq] = row.value(1).toString();
        },
        error);
}

bool TeamServer::trail(const QString &item, QVector<ExclusionEvent> *events, QString *error)
{
    return eachRow(
        QStringLiteral("SELECT seq, excluded, reason, who, time_ms, time_offset FROM"
                       " reading_exclusion WHERE item = ?::uuid ORDER BY event"),
        {item}, [events](const QSqlQuery &row) { events->append(WorkspaceReader::eventFrom(row)); },
        error);
}

QSqlDriver *TeamServer::driver() const
{
    return m_db.driver();
}

QString TeamServer::thisComputer()
{
    const QByteArray id = QSysInfo::machineUniqueId();
    return id.isEmpty() ? QSysInfo::machineHostName() : QString::fromLatin1(id);
}

bool TeamServer::sameItem(const ItemRow &a, const ItemRow &b)
{
    return a.kind == b.kind && a.name == b.name && a.unit == b.unit && a.position == b.position &&
           a.requirement == b.requirement && a.rangeUm == b.rangeUm && a.notes == b.notes &&
           a.photos == b.photos;
}
