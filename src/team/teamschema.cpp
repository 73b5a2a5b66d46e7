#include "teamschema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

// The tables an inspector writes, each with an owner column.
const char *const OwnedTables[] = {"workspace", "workspace_detail", "item", "item_photo",
                                   "reading"};

QStringList policies(const QString &table)
{
    const QString inspector = QLatin1String(TeamSchema::InspectorRole);
    const QString qa = QLatin1String(TeamSchema::QaRole);
    const QString own = QStringLiteral("owner = current_user");
    return {
        QStringLiteral("ALTER TABLE %1 ENABLE ROW LEVEL SECURITY").arg(table),
        QStringLiteral("CREATE POLICY %1_team_read ON %1 FOR SELECT TO %2 USING (%3 OR"
                       " rq_team_of(owner) = rq_team_of(current_user))")
            .arg(table, inspector, own),
        QStringLiteral("CREATE POLICY %1_own_insert ON %1 FOR INSERT TO %2 WITH CHECK (%3)")
            .arg(table, inspector, own),
        QStringLiteral("CREATE POLICY %1_own_update ON %1 FOR UPDATE TO %2 USING (%3)"
                       " WITH CHECK (%3)")
            .arg(table, inspector, own),
        QStringLiteral("CREATE POLICY %1_own_delete ON %1 FOR DELETE TO %2 USING (%3)")
            .arg(table, inspector, own),
        QStringLiteral("CREATE POLICY %1_qa_read ON %1 FOR SELECT TO %2 USING (true)")
            .arg(table, qa),
        QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON %1 TO %2").arg(table, inspector),
        QStringLiteral("GRANT SELECT ON %1 TO %2").arg(table, qa)};
}

} // namespace

bool TeamSchema::isRefusal(const QSqlError &error)
{
    // SQLSTATE insufficient_privilege, undefined_object (a role that does not exist) and the
    // class of invalid authorization.
    const QString state = error.nativeErrorCode();
    return state == QLatin1String("42501") || state == QLatin1String("42704") ||
           state.startsWith(QLatin1String("28"));
}

QString TeamSchema::cause(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        return error.text();
    text = text.section(QLatin1Char('\n'), 0, 0);
    for (const char *severity : {"ERROR:", "FATAL:"}) {
        if (text.startsWith(QLatin1String(severity)))
            text = text.mid(int(qstrlen(severity))).trimmed();
    }
    return text;
}

QStringList TeamSchema::steps(int version)
{
    switch (version) {
    case 1: {
        // Identities are the workspace's: a workspace uuid, an item uuid, and a reading's place
        // in its item, so that sending a row twice never makes two. Times and values are stored
        // as the workspace stores them.
        QStringList statements = {
            QStringLiteral("CREATE TABLE logger_schema (version integer NOT NULL)"),
            QStringLiteral("INSERT INTO logger_schema (version) VALUES (0)"),
            QStringLiteral("CREATE TABLE team_member (inspector name PRIMARY KEY,"
                           " team text NOT NULL)"),
            QStringLiteral("CREATE FUNCTION rq_team_of(name) RETURNS text LANGUAGE sql STABLE"
                           " AS 'SELECT team FROM team_member WHERE inspector = $1'"),
            QStringLiteral("CREATE TABLE workspace (uuid uuid PRIMARY KEY,"
                           " owner name NOT NULL DEFAULT current_user,"
                           " job text NOT NULL DEFAULT '', logo bytea)"),
            QStringLiteral("CREATE TABLE workspace_detail ("
                           " workspace uuid NOT NULL REFERENCES workspace ON DELETE CASCADE,"
                           " owner name NOT NULL DEFAULT current_user,"
                           " key varchar(64) NOT NULL, value text NOT NULL,"
                           " PRIMARY KEY (workspace, key))"),
            QStringLiteral("CREATE TABLE item (uuid uuid PRIMARY KEY,"
                           " workspace uuid NOT NULL REFERENCES workspace ON DELETE CASCADE,"
                           " owner name NOT NULL DEFAULT current_user,"
                           " kind integer NOT NULL, name text NOT NULL, unit text NOT NULL,"
                           " position bigint NOT NULL, created_ms bigint NOT NULL,"
                           " created_offset integer NOT NULL, requirement text NOT NULL,"
                           " range_um double precision NOT NULL, notes text NOT NULL)"),
            QStringLiteral("CREATE INDEX item_workspace ON item (workspace)"),
            QStringLiteral("CREATE TABLE item_photo ("
                           " item uuid NOT NULL REFERENCES item ON DELETE CASCADE,"
                           " owner name NOT NULL DEFAULT current_user,"
                           " seq integer NOT NULL, name text NOT NULL, bytes bytea NOT NULL,"
                           " PRIMARY KEY (item, seq))"),
            QStringLiteral("CREATE TABLE reading ("
                           " item uuid NOT NULL REFERENCES item ON DELETE CASCADE,"
                           " seq integer NOT NULL,"
                           " owner name NOT NULL DEFAULT current_user,"
                           " time_ms bigint, time_offset integer,"
                           " um_value double precision, mil_value double precision,"
                           " um_text text NOT NULL, mil_text text NOT NULL,"
                           " overload integer NOT NULL, unit text NOT NULL, basis text NOT NULL,"
                           " PRIMARY KEY (item, seq))"),
            QStringLiteral("GRANT SELECT ON logger_schema, team_member TO %1, %2")
                .arg(QLatin1String(InspectorRole), QLatin1String(QaRole))};
        for (const char *table : OwnedTables)
            statements += policies(QLatin1String(table));
        return statements;
    }
    case 2:
        // The computer that syncs a workspace, so that a copy of its file on another one is
        // refused instead of writing the same items.
        return {QStringLiteral("ALTER TABLE workspace ADD COLUMN writer text")};
    case 3: {
        // Excluded readings keep their reason, and the trail of who excluded or included which
        // reading when and why, numbered by event within its item, as in the workspace.
        QStringList statements = {
            QStringLiteral("ALTER TABLE reading ADD COLUMN exclusion text NOT NULL DEFAULT ''"),
            QStringLiteral("CREATE TABLE reading_exclusion ("
                           " item uuid NOT NULL REFERENCES item ON DELETE CASCADE,"
                           " owner name NOT NULL DEFAULT current_user,"
                           " event integer NOT NULL, seq integer NOT NULL,"
                           " excluded integer NOT NULL, reason text NOT NULL, who text NOT NULL,"
                           " time_ms bigint NOT NULL, time_offset integer NOT NULL,"
                           " PRIMARY KEY (item, event))")};
        return statements + policies(QStringLiteral("reading_exclusion"));
    }
    case 4: {
        // The same rule as before, but the team is looked up once per query instead of twice
        // per row: a function in the policy kept the planner from an index scan that stops at a
        // part's end, and a part of a large item read every row after it.
        QStringList tables = {QStringLiteral("reading_exclusion")};
        for (const char *table : OwnedTables)
            tables += QLatin1String(table);
        QStringList statements;
        for (const QString &table : qAsConst(tables)) {
            statements +=
                {QStringLiteral("DROP POLICY %1_team_read ON %1").arg(table),
                 QStringLiteral("CREATE POLICY %1_team_read ON %1 FOR SELECT TO %2 USING (owner ="
                                " current_user OR owner IN (SELECT inspector FROM team_member"
                                " WHERE team = (SELECT team FROM team_member WHERE inspector ="
                                " current_user)))")
                     .arg(table, QLatin1String(InspectorRole))};
        }
        return statements + QStringList{QStringLiteral("DROP FUNCTION rq_team_of(name)")};
    }
    case 5: {
        // Counters of the changes to an item's readings other than new ones at its end, kept by
        // the server whoever writes: a reader that holds the readings compares them instead of
        // the count, which a reading changed in place or an exclusion leaves as it was. The
        // triggers run as the writer, who may change only their own items. The functions are
        // replaced rather than made: they outlive tables an administrator drops.
        const QString readingColumns = QStringLiteral(
            "time_ms, time_offset, um_value, mil_value, um_text, mil_text, overload, unit, basis");
        QStringList prefixed[2];
        for (const QString &column : readingColumns.split(QStringLiteral(", "))) {
            prefixed[0] += QStringLiteral("o.") + column;
            prefixed[1] += QStringLiteral("n.") + column;
        }
        return {
            QStringLiteral("ALTER TABLE item ADD COLUMN reading_revision bigint NOT NULL DEFAULT 0,"
                           " ADD COLUMN exclusion_revision bigint NOT NULL DEFAULT 0"),
            QStringLiteral(
                "CREATE OR REPLACE FUNCTION rq_readings_updated() RETURNS trigger LANGUAGE plpgsql "
                "AS $$"
                " BEGIN UPDATE item SET reading_revision = reading_revision + c.rewritten::int,"
                " exclusion_revision = exclusion_revision + c.excluded::int FROM ("
                "SELECT COALESCE(o.item, n.item) AS item, bool_or((%1) IS DISTINCT FROM (%2))"
                " AS rewritten, bool_or(o.exclusion IS DISTINCT FROM n.exclusion) AS excluded"
                " FROM old_rows o FULL JOIN new_rows n ON n.item = o.item AND n.seq = o.seq"
                " GROUP BY 1) c WHERE item.uuid = c.item AND (c.rewritten OR c.excluded);"
                " RETURN NULL; END $$")
                .arg(prefixed[0].join(QStringLiteral(", ")),
                     prefixed[1].join(QStringLiteral(", "))),
            QStringLiteral(
                "CREATE OR REPLACE FUNCTION rq_readings_removed() RETURNS trigger LANGUAGE plpgsql"
                " AS $$ BEGIN UPDATE item SET reading_revision = reading_revision + 1"
                " WHERE uuid IN (SELECT item FROM changed_rows); RETURN NULL; END $$"),
            QStringLiteral(
                "CREATE OR REPLACE FUNCTION rq_trail_changed() RETURNS trigger LANGUAGE plpgsql"
                " AS $$ BEGIN UPDATE item SET exclusion_revision = exclusion_revision"
                " + 1 WHERE uuid IN (SELECT item FROM changed_rows); RETURN NULL;"
                " END $$"),
            QStringLiteral("CREATE TRIGGER reading_updated AFTER UPDATE ON reading REFERENCING"
                           " OLD TABLE AS old_rows NEW TABLE AS new_rows FOR EACH STATEMENT"
                           " EXECUTE FUNCTION rq_readings_updated()"),
            QStringLiteral("CREATE TRIGGER reading_deleted AFTER DELETE ON reading REFERENCING"
                           " OLD TABLE AS changed_rows FOR EACH STATEMENT EXECUTE FUNCTION"
                           " rq_readings_removed()"),
            QStringLiteral("CREATE TRIGGER trail_inserted AFTER INSERT ON reading_exclusion"
                           " REFERENCING NEW TABLE AS changed_rows FOR EACH STATEMENT EXECUTE"
                           " FUNCTION rq_trail_changed()"),
            QStringLiteral("CREATE TRIGGER trail_deleted AFTER DELETE ON reading_exclusion"
                           " REFERENCING OLD TABLE AS changed_rows FOR EACH STATEMENT EXECUTE"
                           " FUNCTION rq_trail_changed()"),
            // An event moved to another item changes the trails of both.
            QStringLiteral("CREATE TRIGGER trail_updated_from AFTER UPDATE ON reading_exclusion"
                           " REFERENCING OLD TABLE AS changed_rows FOR EACH STATEMENT EXECUTE"
                           " FUNCTION rq_trail_changed()"),
            QStringLiteral("CREATE TRIGGER trail_updated_to AFTER UPDATE ON reading_exclusion"
                           " REFERENCING NEW TABLE AS changed_rows FOR EACH STATEMENT EXECUTE"
                           " FUNCTION rq_trail_changed()")};
    }
    default:
        return {};
    }
}

int TeamSchema::storedVersion(QSqlDatabase &db, QString *error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT to_regclass('logger_schema') IS NOT NULL")) ||
        !query.next()) {
        *error = query.lastError().text();
        return -1;
    }
    if (!query.value(0).toBool())
        return 0;
    if (!query.exec(QStringLiteral("SELECT MAX(version) FROM logger_schema")) || !query.next()) {
        *error = query.lastError().text();
        return -1;
    }
    return query.value(0).toInt();
}

TeamSchema::Outcome TeamSchema::prepare(QSqlDatabase &db, const QString &role, int *stored,
                                        QString *error)
{
    QSqlQuery query(db);
    const auto fail = [&db, &role, error](const QSqlError &sqlError) {
        db.rollback();
        if (!isRefusal(sqlError)) {
            *error = sqlError.text();
            return Outcome::Failed;
        }
        *error = tr("the role %1 may not create or change the logger's tables and their "
                    "row-level security policies on this server (%2); an administrator "
                    "prepares the server once as the owner of the tables")
                     .arg(role, cause(sqlError));
        return Outcome::Refused;
    };
    // Two loggers meeting an empty server: the second waits and finds the tables made.
    if (!db.transaction())
        return fail(db.lastError());
    if (!query.exec(QStringLiteral("SELECT pg_advisory_xact_lock(6814)")))
        return fail(query.lastError());
    *stored = storedVersion(db, error);
    if (*stored < 0) {
        db.rollback();
        return Outcome::Failed;
    }
    if (*stored >= Version) {
        db.rollback();
        return *stored > Version ? Outcome::Newer : Outcome::Ready;
    }
    for (int version = *stored + 1; version <= Version; ++version) {
        for (const QString &statement : steps(version)) {
            if (!query.exec(statement))
                return fail(query.lastError());
        }
    }
    if (!query.exec(QStringLiteral("UPDATE logger_schema SET version = %1").arg(Version)))
        return fail(query.lastError());
    if (!db.commit())
        return fail(db.lastError());
    return Outcome::Ready;
}
