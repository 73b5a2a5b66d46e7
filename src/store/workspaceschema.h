#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QStringList>

// The tables of a workspace and their version, kept in PRAGMA user_version. Every change of the
// tables is one more step in steps(): a new version adds its statements and bumps Version, and an
// older workspace is brought up to date step by step when it is opened.
class WorkspaceSchema
{
public:
    static constexpr int Version = 6;

    enum class Outcome { Ready, Newer, Failed };

    // Creates or upgrades the tables of db in one transaction. Newer leaves the file untouched;
    // Failed sets *error.
    static Outcome prepare(QSqlDatabase &db, QSqlError *error);

    // The statements that bring a workspace of version - 1 to version.
    static QStringList steps(int version);

    static QString newUuid();
    // Gives the workspace and every item that has none its uuid.
    static bool identify(QSqlDatabase &db, QSqlError *error);

    // The version the file at db says it has, or -1 with *error set when it cannot be read.
    static int storedVersion(QSqlDatabase &db, QSqlError *error);
};
