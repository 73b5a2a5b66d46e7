#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

// Another program's connection to a workspace file: it reads what has been committed, and it can
// hold the file's write lock the way a backup or inspection tool might.
class OtherConnection
{
public:
    explicit OtherConnection(const QString &path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Name);
        db.setDatabaseName(path);
        db.open();
    }

    ~OtherConnection()
    {
        QSqlDatabase::database(Name, false).close();
        QSqlDatabase::removeDatabase(Name);
    }

    // The first column of the first row of sql, or an invalid value.
    QVariant value(const QString &sql) const
    {
        QSqlQuery query(QSqlDatabase::database(Name, false));
        return query.exec(sql) && query.next() ? query.value(0) : QVariant();
    }

    bool holdWriteLock() const
    {
        return QSqlQuery(QSqlDatabase::database(Name, false))
            .exec(QStringLiteral("BEGIN IMMEDIATE"));
    }

private:
    static constexpr const char *Name = "other program";
};
