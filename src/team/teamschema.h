#pragma once

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QStringList>

class QSqlError;

// The logger's tables on a team server and their version, kept in logger_schema. Every change is
// one more step in steps(), as in the workspace. Each row names its owner, the role that wrote it;
// row-level security lets an inspector (a member of InspectorRole) write only their own rows and
// read those of their team (team_member), and lets QaRole read every row and write none.
class TeamSchema
{
    Q_DECLARE_TR_FUNCTIONS(TeamSchema)

public:
    static constexpr int Version = 5;
    static constexpr const char *InspectorRole = "rq_inspector";
    static constexpr const char *QaRole = "rq_qa";
    // The channel a sync notifies after readings arrived; the payload is the writer's role.
    static constexpr const char *Channel = "rq_team_changed";

    enum class Outcome { Ready, Newer, Refused, Failed };

    // Creates or upgrades the tables in one transaction, one logger at a time, as role. *stored is
    // the version found. Newer leaves the server untouched; Refused and Failed set *error.
    static Outcome prepare(QSqlDatabase &db, const QString &role, int *stored, QString *error);
    static QStringList steps(int version);
    // Whether the server refused the role rather than failed: missing privileges, an unknown
    // role, a failed authorization.
    static bool isRefusal(const QSqlError &error);
    // The server's own words for an error: its first line, without the severity.
    static QString cause(const QSqlError &error);
    // The version on the server, 0 for none, -1 with *error set when it cannot be read.
    static int storedVersion(QSqlDatabase &db, QString *error);
};
