#pragma once

#include <QCoreApplication>
#include <QString>

// A team server's address as the user writes it: a libpq connection string
// ("host=... dbname=... user=... sslmode=verify-full") or a URI
// ("postgresql://user@host:5432/dbname?sslmode=verify-full"). A password never belongs in it:
// libpq reads it from its password file or PGPASSWORD.
class TeamAddress
{
    Q_DECLARE_TR_FUNCTIONS(TeamAddress)

public:
    // The keyword='value' pairs libpq takes, space separated, with connect_timeout added when the
    // address has none. Empty, with *error set, for an address that cannot be read or that holds a
    // password.
    static QString toKeywords(const QString &address, QString *error);
    static bool hasPassword(const QString &address);
    // The text shown when an address holds a password.
    static QString passwordRefusal();
};
