#include "workspaceschema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

QStringList WorkspaceSchema::steps(int version)
{
    switch (version) {
    case 1:
        // item.kind is ItemData::DataType. position orders the items within their group of the
        // tree. Times are milliseconds since the epoch with the UTC offset in seconds that was in
        // force, so that a reading keeps its wall-clock time and zone offset.
        return {QStringLiteral("CREATE TABLE item ("
                               " id INTEGER NOT NULL PRIMARY KEY,"
                               " kind INTEGER NOT NULL,"
                               " name VARCHAR(255) NOT NULL,"
                               " unit VARCHAR(16) NOT NULL,"
                               " position INTEGER NOT NULL,"
                               " active INTEGER NOT NULL,"
                               " created_ms BIGINT NOT NULL,"
                               " created_offset INTEGER NOT NULL)"),
                QStringLiteral("CREATE TABLE reading ("
                               " item_id INTEGER NOT NULL REFERENCES item (id),"
                               " seq INTEGER NOT NULL,"
                               " time_ms BIGINT,"
                               " time_offset INTEGER,"
                               " um_value DOUBLE PRECISION,"
                               " mil_value DOUBLE PRECISION,"
                               " um_text VARCHAR(32) NOT NULL,"
                               " mil_text VARCHAR(32) NOT NULL,"
                               " overload INTEGER NOT NULL,"
                               " unit VARCHAR(16) NOT NULL,"
                               " basis VARCHAR(32) NOT NULL,"
                               " PRIMARY KEY (item_id, seq))")};
    case 2:
        // The item's coating requirement in the key=value text of StoredRequirement; empty for
        // none.
        return {QStringLiteral(
            "ALTER TABLE item ADD COLUMN requirement VARCHAR(1024) NOT NULL DEFAULT ''")};
    case 3:
        // The top of the measuring range of the gauge that filled the item, in micrometres. Items
        // kept before gauges told their range had 1250, the range then assumed for every gauge.
        return {QStringLiteral(
            "ALTER TABLE item ADD COLUMN range_um DOUBLE PRECISION NOT NULL DEFAULT 1250")};
    case 4:
        // The job's details, a row per field that holds text, and its logo; an item's notes and
        // photos. The image columns are BLOB as SQLite spells it; PostgreSQL calls the type BYTEA.
        return {QStringLiteral("CREATE TABLE job_detail ("
                               " key VARCHAR(64) NOT NULL PRIMARY KEY,"
                               " value TEXT NOT NULL)"),
                QStringLiteral("CREATE TABLE job_logo ("
                               " id INTEGER NOT NULL PRIMARY KEY,"
                               " bytes BLOB NOT NULL)"),
                QStringLiteral("CREATE TABLE item_note ("
                               " item_id INTEGER NOT NULL PRIMARY KEY REFERENCES item (id),"
                               " body TEXT NOT NULL)"),
                QStringLiteral("CREATE TABLE item_photo ("
                               " item_id INTEGER NOT NULL REFERENCES item (id),"
                               " seq INTEGER NOT NULL,"
                               " name VARCHAR(255) NOT NULL,"
                               " bytes BLOB NOT NULL,"
                               " PRIMARY KEY (item_id, seq))")};
    case 5:
        // The identities a team server knows the workspace and its items by. An item's uuid is
        // replaced when its readings are cleared, so that readings of two fillings never share a
        // name. Rows kept before are given theirs when the workspace is opened.
        return {QStringLiteral("CREATE TABLE workspace_identity (uuid VARCHAR(36) NOT NULL)"),
                QStringLiteral("ALTER TABLE item ADD COLUMN uuid VARCHAR(36)")};
    case 6:
        // Readings the inspector excluded keep their row, with the reason; empty for a reading
        // that counts. Every exclusion and re-inclusion is a row of the trail, numbered by event
        // within its item and never changed: who, when (as reading times are kept) and why.
        return {QStringLiteral(
                    "ALTER TABLE reading ADD COLUMN exclusion VARCHAR(255) NOT NULL DEFAULT ''"),
                QStringLiteral("CREATE TABLE reading_exclusion ("
                               " item_id INTEGER NOT NULL REFERENCES item (id),"
                               " event INTEGER NOT NULL,"
                               " seq INTEGER NOT NULL,"
                               " excluded INTEGER NOT NULL,"
                               " reason VARCHAR(255) NOT NULL,"
                               " who VARCHAR(255) NOT NULL,"
                               " time_ms BIGINT NOT NULL,"
                               " time_offset INTEGER NOT NULL,"
                               " PRIMARY KEY (item_id, event))")};
    default:
        return {};
    }
}

int WorkspaceSchema::storedVersion(QSqlDatabase &db, QSqlError *error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        *error = query.lastError();
        return -1;
    }
    return query.value(0).toInt();
}

WorkspaceSchema::Outcome WorkspaceSchema::prepare(QSqlDatabase &db, QSqlError *error)
{
    const int stored = storedVersion(db, error);
    if (stored < 0)
        return Outcome::Failed;
    if (stored > Version)
        return Outcome::Newer;
    if (stored == Version)
        return Outcome::Ready;

    if (!db.transaction()) {
        *error = db.lastError();
        return Outcome::Failed;
    }
    QSqlQuery query(db);
    for (int version = stored + 1; version <= Version; ++version) {
        for (const QString &statement : steps(version)) {
            if (!query.exec(statement)) {
                *error = query.lastError();
                db.rollback();
                return Outcome::Failed;
            }
        }
    }
    if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(Version)) || !db.commit()) {
        *error = query.lastError().isValid() ? query.lastError() : db.lastError();
        db.rollback();
        return Outcome::Failed;
    }
    return Outcome::Ready;
}

QString WorkspaceSchema::newUuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

bool WorkspaceSchema::identify(QSqlDatabase &db, QSqlError *error)
{
    QSqlQuery query(db);
    QList<qint64> unnamed;
    bool ok = query.exec(QStringLiteral("SELECT id FROM item WHERE uuid IS NULL"));
    while (ok && query.next())
        unnamed.append(query.value(0).toLongLong());
    ok =
        ok && query.exec(QStringLiteral("SELECT COUNT(*) FROM workspace_identity")) && query.next();
    const bool identified = ok && query.value(0).toInt() > 0;
    if (ok && identified && unnamed.isEmpty())
        return true;
    ok = ok && db.transaction();
    if (ok && !identified) {
        ok = query.prepare(QStringLiteral("INSERT INTO workspace_identity (uuid) VALUES (?)"));
        query.addBindValue(newUuid());
        ok = ok && query.exec();
    }
    ok = ok && query.prepare(QStringLiteral("UPDATE item SET uuid = ? WHERE id = ?"));
    for (int i = 0; ok && i < unnamed.size(); ++i) {
        query.bindValue(0, newUuid());
        query.bindValue(1, unnamed.at(i));
        ok = query.exec();
    }
    if (ok && db.commit())
        return true;
    *error = query.lastError().isValid() ? query.lastError() : db.lastError();
    db.rollback();
    return false;
}
